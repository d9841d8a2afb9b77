#pragma once
// Lets tests stop a pack at a named step, as a crash or a full disk would.

#include <functional>
#include <string_view>

namespace xbase {

class PackHook {
public:
    void set(std::function<void(std::string_view step)> hook) { hook_ = std::move(hook); }
    void operator()(std::string_view step) const {
        if (hook_) hook_(step);
    }

private:
    std::function<void(std::string_view)> hook_;
};

PackHook& packHook();

}  // namespace xbase
