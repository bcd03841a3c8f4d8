#include "support/Platform.h"

#if defined(_WIN32)
namespace corvix {
bool RunningAsRoot() { return false; }
} // namespace corvix
#else
#include <unistd.h>
namespace corvix {
bool RunningAsRoot() { return geteuid() == 0; }
} // namespace corvix
#endif
