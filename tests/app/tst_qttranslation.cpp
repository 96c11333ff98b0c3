// Qt's own strings follow the window's language: in Chinese a message box's button and the file
// dialog's buttons and labels are Chinese, back in English they are English again.
#include "mainwindow.h"
#include "mainwindowtestaccess.h"
#include "modalanswerer.h"
#include "windowlookup.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QtTest>

using WindowLookup::child;
using WindowLookup::configPath;

class TestQtTranslation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void messageBox_data();
    void messageBox();
    void fileDialog_data();
    void fileDialog();
};

namespace {

// Chooses a language in the window's list, as the user does.
void chooseLanguage(MainWindow &w, int index)
{
    QComboBox *language = child<QComboBox>(w, "cbxLanguage");
    language->setCurrentIndex(index == 0 ? 1 : 0); // a change, whatever the list showed before
    language->setCurrentIndex(index);
}

// Clicks a button of the window and waits until the answerer has seen one more dialog.
ModalAnswerer::Seen clickAndSee(MainWindow &w, const char *button)
{
    ModalAnswerer answerer;
    QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return !answerer.seen().isEmpty(); }, 5000)) {
        return {};
    }
    return answerer.seen().constFirst();
}

} // namespace

void TestQtTranslation::init()
{
    QFile::remove(configPath());
}

void TestQtTranslation::messageBox_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("ok");
    // Chinese, then English again, then Chinese once more: the switch works both ways, repeatedly.
    QTest::newRow("Chinese") << 1 << QStringLiteral("提示") << QStringLiteral("确定");
    QTest::newRow("back to English") << 0 << QStringLiteral("Information") << QStringLiteral("OK");
    QTest::newRow("Chinese again") << 1 << QStringLiteral("提示") << QStringLiteral("确定");
}

void TestQtTranslation::messageBox()
{
    QFETCH(int, language);
    QFETCH(QString, title);
    QFETCH(QString, ok);
    MainWindow w;
    w.show();
    chooseLanguage(w, language);
    // Start with the port closed: the information box "Please open the serial port first!".
    const ModalAnswerer::Seen box = clickAndSee(w, "btnStart");
    QCOMPARE(box.kind, ModalAnswerer::Seen::MessageBox);
    QCOMPARE(box.title, title);
    QVERIFY2(box.captions.contains(ok), qPrintable(box.captions.join(QLatin1Char('|'))));
    const QString otherOk = language == 0 ? QStringLiteral("确定") : QStringLiteral("OK");
    QVERIFY(!box.captions.contains(otherOk));
}

void TestQtTranslation::fileDialog_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("absent");
    const QStringList chinese{QStringLiteral("打开"), QStringLiteral("取消"), QStringLiteral("查找范围："),
                              QStringLiteral("文件名称(&N)："), QStringLiteral("文件类型：")};
    const QStringList english{QStringLiteral("Open"), QStringLiteral("Cancel"), QStringLiteral("Look in:"),
                              QStringLiteral("File &name:"), QStringLiteral("Files of type:")};
    QTest::newRow("Chinese") << 1 << chinese << english;
    QTest::newRow("back to English") << 0 << english << chinese;
}

void TestQtTranslation::fileDialog()
{
    QFETCH(int, language);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, absent);
    MainWindow w;
    w.show();
    chooseLanguage(w, language);
    MainWindowTestAccess::version(w) = QStringLiteral("BMS_V2.1.07_2026"); // "Load File" asks for a file
    const ModalAnswerer::Seen dialog = clickAndSee(w, "btnFileLoad");      // nothing queued: cancelled
    QCOMPARE(dialog.kind, ModalAnswerer::Seen::FileDialog);
    const QString shown = dialog.captions.join(QLatin1Char('|'));
    for (const QString &text : expected) {
        QVERIFY2(dialog.captions.contains(text), qPrintable(text + QStringLiteral(" not in ") + shown));
    }
    for (const QString &text : absent) {
        QVERIFY2(!dialog.captions.contains(text), qPrintable(text + QStringLiteral(" in ") + shown));
    }
}

QTEST_MAIN(TestQtTranslation)
#include "tst_qttranslation.moc"
