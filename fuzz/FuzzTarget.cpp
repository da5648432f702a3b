// One libFuzzer target: QNT_FUZZ_TARGET names its entry point in FuzzEntryPoints.
#include "fuzz/FuzzEntryPoints.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

const qnt::fuzz::Target *g_target = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Readers log every refused input; millions of lines would only slow the search.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    qnt::fuzz::initialise();
    g_target = qnt::fuzz::target(QNT_FUZZ_TARGET);
    if (!g_target) {
        std::fprintf(stderr, "no fuzz entry point named %s\n", QNT_FUZZ_TARGET);
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return g_target->run(data, size);
}
