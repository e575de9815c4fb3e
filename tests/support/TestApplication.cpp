#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace testsupport {

namespace {

class ApplicationEnvironment : public ::testing::Environment {
public:
    TApplication& Get()
    {
        static int argc = 1;
        static char name[] = "pictavo-test";
        static char* argv[] = {name, nullptr};
        if (!app_) app_ = std::make_unique<TApplication>(argc, argv);
        return *app_;
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<TApplication> app_;
};

ApplicationEnvironment* const applicationEnvironment =
    static_cast<ApplicationEnvironment*>(::testing::AddGlobalTestEnvironment(new ApplicationEnvironment));

}  // namespace

TApplication& TestApplication() { return applicationEnvironment->Get(); }

void WhenModal(std::function<void(QWidget*)> act)
{
    auto* look = new QTimer(QCoreApplication::instance());
    QObject::connect(look, &QTimer::timeout, [look, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        look->stop();
        look->deleteLater();
        act(modal);
    });
    look->start(0);
}

bool ShowsWholeText(const QLabel& label)
{
    // The room QLabel draws the text in: its contents less margin and indent.
    const QFontMetrics metrics = label.fontMetrics();
    int room = label.contentsRect().width() - 2 * label.margin();
    int indent = label.indent();
    if (indent < 0 && label.frameWidth() > 0) indent = metrics.horizontalAdvance(u'x') / 2 - label.margin();
    if (indent > 0) room -= indent;
    return metrics.boundingRect(0, 0, 2000, 2000, Qt::AlignLeft, label.text()).width() <= room;
}

}  // namespace testsupport
