#pragma once
// One copy of the program per declaration. Two copies working on the same
// employer file would each save their own tables over the other's, and the
// second save would silently undo the first. The copy that opens a
// declaration holds a lock file beside its employer file ("<file>.lck") until
// it closes the declaration or ends; another copy that tries to open it is
// refused and told which program holds it.
//
// A lock left behind by a copy that died (its process no longer runs on this
// machine) is taken over. Where no lock file can be made (a folder the user
// may only read) the declaration opens without one: nothing can be saved
// there in any case.
#include <QString>

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

// The message of a refused open: bilingual, with the holder's process.
QString heldText(const Holder &holder);

} // namespace r56::declock
