#pragma once
// The user-guide window: shows the guide page supplied beside the program
// ("DOC\select.htm" in the start directory) and returns to the main window.
#include "platform/form.h"

#include <QString>

class QFrame;
class QTextBrowser;

namespace r56 {

class TKitGradientCaption;
class TKitSpeedButton;

class Tusrgd : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tusrgd(QWidget *parent = nullptr);
    ~Tusrgd() override;

    // Shows the page at `path` ("\" is a separator, names found case-blind).
    // A page that is not there gives a short bilingual note in its place.
    void navigate(const QString &path);
    // The file shown, empty when the page was not found.
    QString shownFile() const { return m_shown; }

    QTextBrowser *wb = nullptr;
    QFrame *Panel1 = nullptr;
    TKitSpeedButton *btclose = nullptr;
    TKitGradientCaption *kittitle = nullptr;

private:
    QString m_shown;
};

// Created at start, alive for the whole run.
extern Tusrgd *usrgd;

} // namespace r56
