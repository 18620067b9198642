#pragma once

namespace backtrail::shell {

/// True once the main window has closed while the browser window was still
/// open: the browser window then ends the program when it closes. The splash
/// window sets it to false when it loads.
bool& MainWindowClosed();

} // namespace backtrail::shell
