// What the window shows and does once built: the captions in both languages, the lamp and the
// small slots.
#include "mainwindow.h"
#include "mainwindowtestaccess.h"
#include "modalanswerer.h"
#include "windowlookup.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMetaMethod>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

using WindowLookup::caption;
using WindowLookup::child;
using WindowLookup::configPath;

class TestWindowCaptions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void captions_data();
    void captions();
    void captionsSwitchBack();
    void captionsWhole_data();
    void captionsWhole();
    void openButtonFollowsPortState();
    void languageListStaysEnglish();
    void lamp_data();
    void lamp();
    void lampAtStart();
    void statusMessage();
    void keyPressConsumed();
    void eventFilterSwallows();
    void closeButtonClosesWindow();
};

void TestWindowCaptions::init()
{
    // Every window here starts from "no settings": English.
    QFile::remove(configPath());
}

void TestWindowCaptions::captions_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    const struct
    {
        const char *object, *property, *english, *chinese;
    } rows[] = {
        {"groupBox_6", "title", "language", "语言&&通讯"},
        {"label_51", "text", "Status:", "通讯状态："},
        {"lbStatus", "text", "", ""},
        {"label_4", "text", "language:", "语言:"},
        {"btnPdf", "text", "Help", "帮助"},
        {"groupBox_10", "title", "Serial port parameter configuration", "串口设置"},
        {"label_11", "text", "BMS ADDR：", "BMS ADDR："},
        {"label_9", "text", "From pack：", "From pack："},
        {"label_12", "text", "Interval(S)：", "Interval(S)："},
        {"label", "text", "Port：", "端口:"},
        {"label_10", "text", "To Pack：", "To Pack："},
        {"label_2", "text", "Baud Rate：", "波特率:"},
        {"btn_openConsole", "text", "Open Serial", "打开串口"},
        {"btnStartMonit", "text", "Update Serial", "刷新串口"},
        {"groupBox_8", "title", "Current software version", "当前版本号"},
        {"label_6", "text", "Version", "版本号"},
        {"btnGetVer", "text", "Get Version", "获取版本号"},
        {"groupBox_7", "title", "update", "升级"},
        {"label_3", "text", "File Path", "文件路径"},
        {"btnFileLoad", "text", "Load File", "加载文件"},
        {"btnStart", "text", "Start DownLoad", "开始下载"},
        {"btnStop", "text", "Close", "关闭"},
        // The window keeps the title it sets itself in both languages.
        {"MainWindow", "windowTitle", "BMS", "BMS"},
    };
    for (const auto &r : rows) {
        QTest::newRow(r.object) << QString::fromLatin1(r.object) << QString::fromLatin1(r.property)
                                << QString::fromUtf8(r.english) << QString::fromUtf8(r.chinese);
    }
}

void TestWindowCaptions::captions()
{
    QFETCH(QString, object);
    QFETCH(QString, property);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    MainWindow w;
    QCOMPARE(caption(w, object, property), english);
    child<QComboBox>(w, "cbxLanguage")->setCurrentIndex(1);
    QCOMPARE(caption(w, object, property), chinese);
    child<QComboBox>(w, "cbxLanguage")->setCurrentIndex(0);
    QCOMPARE(caption(w, object, property), english);
}

void TestWindowCaptions::captionsSwitchBack()
{
    // Switching several times keeps the captions and the lamp intact.
    MainWindow w;
    QComboBox *language = child<QComboBox>(w, "cbxLanguage");
    QLabel *lamp = child<QLabel>(w, "lbStatus");
    const QString sheet = lamp->styleSheet();
    for (int round = 0; round < 3; ++round) {
        language->setCurrentIndex(1);
        QCOMPARE(child<QPushButton>(w, "btnStart")->text(), QStringLiteral("开始下载"));
        language->setCurrentIndex(0);
        QCOMPARE(child<QPushButton>(w, "btnStart")->text(), QStringLiteral("Start DownLoad"));
    }
    QCOMPARE(lamp->styleSheet(), sheet);
    QCOMPARE(lamp->text(), QString());
    // Texts other than captions keep the language they were set in.
    child<QLineEdit>(w, "leVer")->setText(QStringLiteral("V1"));
    language->setCurrentIndex(1);
    QCOMPARE(child<QLineEdit>(w, "leVer")->text(), QStringLiteral("V1"));
}

void TestWindowCaptions::captionsWhole_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 0;
    QTest::newRow("Chinese") << 1;
}

// Every visible label and button is at least as wide as its caption needs, in the fonts this
// machine has; the serial group's labels keep 54 px where the caption fits.
void TestWindowCaptions::captionsWhole()
{
    QFETCH(int, language);
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    child<QComboBox>(w, "cbxLanguage")->setCurrentIndex(language);
    QCoreApplication::processEvents(); // the layouts take the new captions
    int checked = 0;
    for (QWidget *widget : w.findChildren<QWidget *>()) {
        const QString text = widget->property("text").toString();
        const bool label = qobject_cast<QLabel *>(widget) != nullptr;
        if (!widget->isVisible() || text.isEmpty() || !(label || qobject_cast<QPushButton *>(widget))) {
            continue;
        }
        ++checked;
        // The caption's own width, on a widget of its own without limits.
        std::unique_ptr<QWidget> alone(label ? static_cast<QWidget *>(new QLabel(text))
                                             : new QPushButton(text));
        alone->setFont(widget->font());
        const int needed = alone->sizeHint().width();
        QVERIFY2(widget->width() >= needed, qPrintable(widget->objectName() + QLatin1Char(' ') + text));
        if (label && widget->parentWidget()->objectName() == QLatin1String("groupBox_10")) {
            QCOMPARE(widget->width(), qMax(54, needed));
        }
    }
    QCOMPARE(checked, 13); // 6 labels and 7 buttons
}

void TestWindowCaptions::openButtonFollowsPortState()
{
    // With the port closed the open button reads "Open Serial" in the chosen language, even though
    // the language change re-applies the form's captions.
    MainWindow w;
    QPushButton *open = child<QPushButton>(w, "btn_openConsole");
    QComboBox *language = child<QComboBox>(w, "cbxLanguage");
    language->setCurrentIndex(1);
    QCOMPARE(open->text(), QStringLiteral("打开串口"));
    language->setCurrentIndex(0);
    QCOMPARE(open->text(), QStringLiteral("Open Serial"));
}

void TestWindowCaptions::languageListStaysEnglish()
{
    MainWindow w;
    QComboBox *language = child<QComboBox>(w, "cbxLanguage");
    QCOMPARE(language->count(), 2);
    for (int index : {1, 0, 1}) {
        language->setCurrentIndex(index);
        QCOMPARE(language->itemText(0), QStringLiteral("English"));
        QCOMPARE(language->itemText(1), QStringLiteral("Chinese"));
    }
}

void TestWindowCaptions::lamp_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("sheet");
    const QString base32 = QStringLiteral("min-width: 32px;min-height: 32px;max-width: 32px;max-height: 32px;"
                                          "border-radius: 16px;border:1px solid black;background-color:");
    const QString base33 = QStringLiteral("min-width: 33px;min-height: 33px;max-width: 33px;max-height: 33px;"
                                          "border-radius: 16px;border:1px solid black;background-color:");
    QTest::newRow("grey 32") << 0 << 32 << base32 + "rgb(190, 190, 190)";
    QTest::newRow("red 32") << 1 << 32 << base32 + "rgb(255, 0, 0)";
    QTest::newRow("green 32") << 2 << 32 << base32 + "rgb(0, 255, 0)";
    QTest::newRow("other 32") << 7 << 32 << base32;
    QTest::newRow("grey 33") << 0 << 33 << base33 + "rgb(190, 190, 190)";
    QTest::newRow("red 33") << 1 << 33 << base33 + "rgb(255, 0, 0)";
    QTest::newRow("green 33") << 2 << 33 << base33 + "rgb(0, 255, 0)";
    QTest::newRow("other 33") << 7 << 33 << base33;
}

void TestWindowCaptions::lamp()
{
    QFETCH(int, color);
    QFETCH(int, size);
    QFETCH(QString, sheet);
    MainWindow w;
    QLabel label(QStringLiteral("text to clear"));
    label.setStyleSheet(QStringLiteral("color: blue;"));
    MainWindowTestAccess::setLED(w, &label, color, size);
    QCOMPARE(label.styleSheet(), sheet);
    QCOMPARE(label.text(), QString());
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    // The sheet fixes the content box; the 1-pixel border lies around it.
    QCOMPARE(label.size(), QSize(size + 2, size + 2));
}

void TestWindowCaptions::lampAtStart()
{
    MainWindow w;
    QLabel *lamp = child<QLabel>(w, "lbStatus");
    QCOMPARE(lamp->styleSheet(),
             QStringLiteral("min-width: 32px;min-height: 32px;max-width: 32px;max-height: "
                            "32px;border-radius: 16px;border:1px solid black;"
                            "background-color:rgb(255, 0, 0)"));
    QCOMPARE(lamp->text(), QString());
}

void TestWindowCaptions::statusMessage()
{
    MainWindow w;
    QVERIFY(QMetaObject::invokeMethod(&w, "OnStatusBtnClicked"));
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("入侵远程主机成功！恭喜你！"));
    QTRY_COMPARE_WITH_TIMEOUT(w.statusBar()->currentMessage(), QString(), 5000);
}

void TestWindowCaptions::keyPressConsumed()
{
    MainWindow w;
    for (const auto modifiers : {Qt::NoModifier, Qt::ControlModifier}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, modifiers);
        QCoreApplication::sendEvent(&w, &press);
        // QWidget's own handler would ignore the event and pass it on.
        QVERIFY(press.isAccepted());
    }
}

void TestWindowCaptions::eventFilterSwallows()
{
    MainWindow w;
    QEvent event(QEvent::User);
    QVERIFY(w.eventFilter(&w, &event));
    QVERIFY(w.eventFilter(nullptr, nullptr));
}

void TestWindowCaptions::closeButtonClosesWindow()
{
    // "Close" closes the last window, which ends the event loop; nothing is asked first.
    ModalAnswerer answerer;
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTimer::singleShot(0, &w,
                       [&w] { QTest::mouseClick(w.findChild<QPushButton *>("btnStop"), Qt::LeftButton); });
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(42); });
    guard.start(10000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!w.isVisible());
    QVERIFY(answerer.seen().isEmpty());
}

QTEST_MAIN(TestWindowCaptions)
#include "tst_windowcaptions.moc"
