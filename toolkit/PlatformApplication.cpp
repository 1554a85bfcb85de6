#include "toolkit/Application.h"

namespace toolkit {

// Apart from the rest of the application object, so that programs which pass
// their own backend do not need a platform one linked in.
void TApplication::Initialize()
{
    Initialize(CreatePlatformBackend());
}

}
