#pragma once
// The file dialog a window brings up modally, driven as its user would: a
// name typed into its name field, then its default button pressed, as many
// times as asked (a folder's name opens that folder first and the dialog
// stays up). Widget tests only.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QTimer>


namespace r56::test {

// One press in the modal file dialog up now (waited for a while when it is
// not up yet).
inline void pressInFileDialog(const QString &name, int presses, QStringList *shown, int tries = 500)
{
    auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (!d) {
        if (tries > 0)
            QTimer::singleShot(10, [=] { pressInFileDialog(name, presses, shown, tries - 1); });
        return;
    }
    if (auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        edit->setText(name);
    // Its default button, as Enter in the name field presses it.
    QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
    if (!d->isVisible())
        return;
    if (presses <= 1) {
        d->reject();
        return;
    }
    if (shown)
        *shown << d->directory().absolutePath();
    QTimer::singleShot(0, [=] { pressInFileDialog(name, presses - 1, shown); });
}

// Arranges for the next modal file dialog to receive `name` and `presses`
// presses of its default button (cancelled when it is still up after the
// last); `shown` (when given) gets the folder the dialog shows after each
// press that left it up.
inline void typeIntoNextFileDialog(const QString &name, int presses, QStringList *shown = nullptr)
{
    QTimer::singleShot(0, [=] { pressInFileDialog(name, presses, shown); });
}

} // namespace r56::test
