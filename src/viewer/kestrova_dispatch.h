#pragma once

#include "hosting/dispatch_abi.h"

namespace kestrova::viewer {

// The viewer control's automation methods as hosts see them: names, dispatch ids
// in interface order (AboutBox at -552), parameter names and types, results. The
// module's type library stand-in and the control's own Invoke both use it.
const KestrovaDispatchTable& KestrovaDispatch();

} // namespace kestrova::viewer
