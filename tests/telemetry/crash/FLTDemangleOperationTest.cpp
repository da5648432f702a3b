// Demangling of the C++ names that symbolication finds.

#include "telemetry/crash/FLTThreadArrayOperation.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(DemangleOperation, Names)
{
    struct Case {
        const char *symbol;
        const char *expected; // null: not demangled
    };
    const Case cases[] = {
        {"_ZN14quintora_crash6WalkerIiE4leafEi", "quintora_crash::Walker<int>::leaf(int)"},
        {"_Z4leafv", "leaf()"},
        // Lambdas taking a parameter pack, which the C++ runtime's own demangler refuses.
        {"_Z1gIZ1fvEUlDpOT_E_Evv", "void g<f()::'lambda'(auto&&...)>()"},
        {"_ZNSt13__future_base17_Async_state_implINSt6thread8_InvokerISt5tupleIJZN7QThread6createIR"
         "FvvEJEEEPS4_OT_DpOT0_EUlDpOT_E_EEEEvE6_M_runEv",
         "std::__future_base::_Async_state_impl<std::thread::_Invoker<std::tuple<QThread* "
         "QThread::create<void (&)()>(void (&)())::'lambda'(auto&&...)> >, void>::_M_run()"},
        {"__ZN3foo3barEv_block_invoke", "foo::bar()_block_invoke"},
        {"__ZN3foo3barEv_block_invoke_2", "foo::bar()_block_invoke_2"},
        {"__Z1_block_invoke", nullptr}, // the suffix starts before index 5
        {"__Zgarbage_block_invoke", nullptr},
        {"__ZN3foo3barEv", nullptr}, // no block suffix
        {"_Zgarbage", nullptr},
        {"main", nullptr},
        {"", nullptr},
    };
    for (const Case &c : cases) {
        const auto result = FLTDemangleOperation::demangleSymbol(c.symbol);
        if (c.expected)
            EXPECT_EQ(result, c.expected) << c.symbol;
        else
            EXPECT_FALSE(result) << c.symbol;
    }
    EXPECT_FALSE(FLTDemangleOperation::demangleSymbol(nullptr));
}

TEST(DemangleOperation, ReplacesTheSymbolAndKeepsTheRawOne)
{
    auto threads = std::make_shared<FLTThreadArray>();
    threads->push_back({FLTStackFrame::stackFrameWithSymbol("_Z4leafv"),
                        FLTStackFrame::stackFrameWithSymbol("main"), FLTStackFrame::stackFrame()});
    FLTDemangleOperation operation(threads);
    operation.start();
    const auto &frames = threads->front();
    EXPECT_EQ(frames[0].symbol, "leaf()");
    EXPECT_EQ(frames[0].rawSymbol, "_Z4leafv");
    EXPECT_EQ(frames[1].symbol, frames[1].rawSymbol);
    EXPECT_FALSE(frames[2].symbol);
    EXPECT_EQ(FLTStackFrame::stackFrameWithAddress(0x1f).description(), "{[0x1f + 0] (null)}");
}

} // namespace
