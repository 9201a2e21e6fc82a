#include "tools/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace Vorn::Tools {

bool holdStandardDescriptors() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free number is the one that is closed.
        if (::open("/dev/null", descriptor == 0 ? O_WRONLY : O_RDONLY) != descriptor) {
            return false;
        }
    }
    return true;
}

}  // namespace Vorn::Tools
