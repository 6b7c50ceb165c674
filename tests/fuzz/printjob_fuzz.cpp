// The print job reader over arbitrary lines: no crash, no read outside the
// line, and a line rebuilt from what was read reads back the same.
#include "shared/printjob.h"

#include <cstdint>
#include <cstdlib>

using namespace r56;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > std::size_t(printjob::kMaxLine))
        return 0;
    const QByteArray line(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const PrintJob job = printjob::parseline(line);
    printjob::checkjob(job);
    if (job.path.contains('\n') || job.path.contains('\r') || job.path.isEmpty()
        || static_cast<unsigned char>(job.path.front()) <= 0x20)
        return 0;
    if (job.modeall || job.kind == 0 || static_cast<unsigned char>(job.kind) <= 0x20)
        return 0;
    const QByteArray again = job.modetest
        ? printjob::buildtestline(job.kind, job.art32, job.art36, job.blank, job.top, job.left,
                                  job.secondhalf, job.path)
        : printjob::buildline(job.kind, job.art32, job.art36, job.first, job.last, job.blank,
                              job.top, job.left, job.preview, job.secondhalf, job.path);
    PrintJob back = printjob::parseline(again);
    if (job.modetest) {
        // A test line always carries page 1, one copy and a print.
        back.first = job.first;
        back.last = job.last;
        back.copies = job.copies;
        back.preview = job.preview;
    } else {
        back.copies = job.copies;
    }
    if (!(back == job))
        std::abort();
    return 0;
}
