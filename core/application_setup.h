#pragma once

namespace tagswap {

// Names, version and icon of the running application, and the rule that it
// ends only when its main window is unloaded. The icon is read from the
// program's compiled-in resources (:/icon) where the platform does not give
// windows the executable's icon by itself.
void setUpApplication(const char *version, const char *desktopId);

} // namespace tagswap
