#pragma once

#include "framework/base/VRTypes.h"

#include <optional>

// Questions the style registry asks while merging a style library; an answer of nullopt (the
// default) leaves the decision to the merge option.
class VRStyleMergeDelegate
{
public:
    virtual ~VRStyleMergeDelegate() = default;
    // Whether the incoming style replaces the registered one with the same key.
    virtual std::optional<bool> shouldReplaceStyle(const VRStyleRef &existing,
                                                   const VRStyleRef &incoming)
    {
        (void)existing;
        (void)incoming;
        return std::nullopt;
    }
};
