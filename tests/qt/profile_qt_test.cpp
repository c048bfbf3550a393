// The profile buttons in the Qt window, and Qt's file dialogs behind them.
#include "window/advanced_view.h"
#include "window/qt/qt_services.h"
#include "window_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace treadle::qt {
namespace {

class ProfileQtTest : public QtWindowFixture {};

TEST_F(ProfileQtTest, TheButtonsShowTheirWholeCaptionInTheColumnAndOpenTheDialog) {
    const std::pair<Language, QStringList> cases[] = {
        {Language::Chinese, {QStringLiteral("保存配置…"), QStringLiteral("载入配置…")}},
        {Language::English, {QStringLiteral("Save profile…"), QStringLiteral("Load profile…")}},
    };
    for (const auto& [language, captions] : cases) {
        SCOPED_TRACE(LanguageCode(language));
        files.asked.clear();
        Open({language, true});
        ASSERT_TRUE(QTest::qWaitFor([this] { return Model().DeviceDetected; }, 3000));
        const char* names[] = {kSaveProfileButton, kLoadProfileButton};
        for (int i = 0; i < 2; ++i) {
            auto* button = Widget<QPushButton>(names[i]);
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(button->isVisible());
            EXPECT_EQ(button->text(), captions[i]);
            EXPECT_LT(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 8);
            QTest::mouseClick(button, Qt::LeftButton);
        }
        ASSERT_EQ(files.asked.size(), 2u);
        EXPECT_EQ(files.asked[0].kind, FileDialogKind::Save);
        EXPECT_EQ(files.asked[1].kind, FileDialogKind::Open);
        EXPECT_EQ(QString::fromStdString(files.asked[1].title), captions[1]);
        window.reset();
    }
}

// Runs `act` on the file dialog once it is open, from inside its modal loop, and again at each
// tick until that dialog closes: it may ignore accept() while its file list still loads. One
// still open after ten seconds is rejected, so that the test fails rather than hangs. The
// timer lives as long as the caller keeps it.
std::unique_ptr<QTimer> WhenDialogOpens(std::function<void(QFileDialog&)> act) {
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(10);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    QObject::connect(poll.get(), &QTimer::timeout,
                     [timer = poll.get(), act, deadline, target = QPointer<QFileDialog>(), acted = false]() mutable {
                         auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                         if (acted && (dialog == nullptr || dialog != target.data())) {
                             timer->stop();  // the dialog it answered has closed
                             return;
                         }
                         if (dialog == nullptr) {
                             return;
                         }
                         target = dialog;
                         acted = true;
                         if (std::chrono::steady_clock::now() > deadline) {
                             ADD_FAILURE() << "the file dialog did not close";
                             static_cast<QDialog*>(dialog)->done(QDialog::Rejected);  // public in QDialog
                             return;
                         }
                         act(*dialog);
                     });
    poll->start();
    return poll;
}

TEST(QtFileDialogsTest, AnswersTheChosenFileOrNothingWhenCancelled) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("pedals.toml"));
    QtFileDialogs dialogs;
    for (FileDialogKind kind : {FileDialogKind::Save, FileDialogKind::Open}) {
        if (kind == FileDialogKind::Open) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        QString title;
        QStringList filters;
        const auto choosing = WhenDialogOpens([&](QFileDialog& dialog) {
            title = dialog.windowTitle();
            filters = dialog.nameFilters();
            dialog.selectFile(path);
            static_cast<QDialog&>(dialog).accept();  // public in QDialog
        });
        const std::optional<std::string> chosen = dialogs.Ask(kind, "Load profile…", "Profiles", ".toml");
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(QString::fromStdString(*chosen), path);
        EXPECT_EQ(title, QStringLiteral("Load profile…"));
        EXPECT_EQ(filters, QStringList{QStringLiteral("Profiles (*.toml)")});

        const auto cancelling = WhenDialogOpens([](QFileDialog& dialog) { dialog.reject(); });
        EXPECT_FALSE(dialogs.Ask(kind, "Load profile…", "Profiles", ".toml").has_value());
    }
}

}  // namespace
}  // namespace treadle::qt
