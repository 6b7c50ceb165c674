#include "platform/diskio.h"

#ifdef __linux__
#include <fcntl.h>
#endif

namespace r56::platform {

void startwriteback(QFileDevice &f)
{
#ifdef __linux__
    // Pages already on their way are left alone; a failure here only means
    // the final flush does all the work.
    if (f.flush() && f.handle() >= 0)
        ::sync_file_range(f.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)f;
#endif
}

} // namespace r56::platform
