#pragma once

#include <dlfcn.h>

namespace app {

// Points function at the symbol of that name in a library opened with dlopen; false when the
// library lacks it. For the libraries loaded at first use rather than linked.
template <typename Function> bool resolveSymbol(void *library, Function& function, const char *name)
{
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

} // namespace app
