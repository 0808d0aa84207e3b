// Offers the OpenGL driver to the render command ("--driver opengl") when the program is built
// with it. Nothing Qt starts unless a device is made on that driver.
#ifdef QUILLMARK_HAVE_GL
#include "gldriver.h"

namespace
{
const bool kOpenGLOffered = []
{
    RegisterOpenGLDriverOnDemand();
    return true;
}();
} // namespace
#endif
