// The profile buttons in the Qt window, and Qt's file dialogs behind them.
#include "window/advanced_view.h"
#include "window/qt/qt_services.h"
#include "window_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

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

// Runs `act` on the file dialog once it is open, from inside its modal loop.
void WhenDialogOpens(std::function<void(QFileDialog&)> act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*dialog);
        }
    });
    poll->start();
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
        WhenDialogOpens([&](QFileDialog& dialog) {
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

        WhenDialogOpens([](QFileDialog& dialog) { dialog.reject(); });
        EXPECT_FALSE(dialogs.Ask(kind, "Load profile…", "Profiles", ".toml").has_value());
    }
}

}  // namespace
}  // namespace treadle::qt
