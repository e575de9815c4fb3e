#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
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

}  // namespace testsupport
