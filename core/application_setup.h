#pragma once

namespace tagswap {

// Names and version of the running application, and the rule that it ends only when
// its main window is unloaded.
void setUpApplication(const char *version, const char *desktopId);

// The program's icon on every window, from the pixels compiled into it (:/icon/<size>.argb)
// where the platform does not give windows the executable's icon by itself.
void setProgramIcon();

} // namespace tagswap
