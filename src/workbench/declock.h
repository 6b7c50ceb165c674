#pragma once
// One copy of the program per declaration. Two copies working on the same
// employer file would each save their own tables over the other's, and the
// second save would silently undo the first. The copy that opens a
// declaration holds a lock file beside its employer file ("<file>.lck") until
// it closes the declaration or ends; another copy that tries to open it is
// refused and told which program holds it.
//
// Every save into a declaration's set (the import onto an employer file, the
// copy of a half of 2003, the year and employer data, the data entry) holds
// the lock while it writes: the copy that has the declaration open already
// holds it; any other copy takes it for the save alone (`SaveLock`), or is
// refused with the same message as a refused open.
//
// A lock left behind by a copy that died (its process no longer runs on this
// machine) is taken over. Where no lock file can be made (a folder the user
// may only read) the declaration opens without one: nothing can be saved
// there in any case.
#include <QString>

#include <memory>

class QLockFile;

namespace r56::declock {

enum class Result {
    Locked,        // this copy holds the declaration now
    HeldElsewhere, // another running copy holds it
    NoLock,        // no lock file can be made here; opened without one
};

// Who holds a lock.
struct Holder
{
    qint64 pid = 0;
    QString hostname;
    QString appname;
};

// The lock file of the employer file `cmpPath`.
QString lockPath(const QString &cmpPath);

// Takes the lock of `cmpPath`, giving up the one held before (a copy holds
// one declaration at a time). On HeldElsewhere `holder` tells who holds it
// and this copy holds none.
Result lockDeclaration(const QString &cmpPath, Holder *holder = nullptr);
// Gives up the lock held, if any.
void unlockDeclaration();
// The employer file whose lock this copy holds (empty when none).
QString lockedDeclaration();

// The message of a refused open or save: bilingual, with the holder's
// process.
QString heldText(const Holder &holder);

// Held for the length of one save into the set of `cmpPath`: the lock this
// copy holds when that declaration is the one open here, otherwise the lock
// taken for this save alone and given up when the SaveLock goes.
class SaveLock
{
public:
    explicit SaveLock(const QString &cmpPath);
    ~SaveLock();
    SaveLock(const SaveLock &) = delete;
    SaveLock &operator=(const SaveLock &) = delete;

    Result result() const { return m_result; }
    // False while another running copy holds the declaration.
    bool mayWrite() const { return m_result != Result::HeldElsewhere; }
    // Who holds it, when another copy does.
    const Holder &holder() const { return m_holder; }
    // Gives up a lock taken for this save once the set is written (before a
    // note the user may leave up); the open declaration's lock stays.
    void release();

private:
    std::unique_ptr<QLockFile> m_own; // taken for this save only
    Result m_result = Result::NoLock;
    Holder m_holder;
};

// Whether the save may go on; when another copy holds the declaration, says
// so (heldText, `caption`, one button) and gives false.
bool mayWrite(const SaveLock &lock, const QString &caption);

} // namespace r56::declock
