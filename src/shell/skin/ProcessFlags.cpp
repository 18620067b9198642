#include "ProcessFlags.h"

namespace backtrail::shell {

bool& MainWindowClosed()
{
    static bool closed = false;
    return closed;
}

} // namespace backtrail::shell
