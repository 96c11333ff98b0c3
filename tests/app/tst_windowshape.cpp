// The window as the form builds it: the meta-object interface and the widget tree.
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

using WindowLookup::child;
using WindowLookup::configPath;

class TestWindowShape : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void metaObjectOrder_data();
    void metaObjectOrder();
    void metaObjectCount();
    void windowFrame();
    void gridCells_data();
    void gridCells();
    void boxLayouts();
    void creationOrder();
    void sizeLimits();
    void hiddenWidgets();
    void initialState();
};

void TestWindowShape::init()
{
    // Every window here starts from "no settings": English.
    QFile::remove(configPath());
}

void TestWindowShape::metaObjectOrder_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("access");
    const int sig = QMetaMethod::Signal;
    const int slot = QMetaMethod::Slot;
    const int pub = QMetaMethod::Public;
    const int priv = QMetaMethod::Private;
    const struct
    {
        const char *signature;
        int type;
        int access;
    } rows[] = {
        {"sigSendFWUG(E_FUNC,QByteArray)", sig, pub},
        {"OnStatusBtnClicked()", slot, pub},
        {"powerChange(int)", slot, pub},
        {"recvResult(QByteArray)", slot, priv},
        {"on_btnClose_clicked()", slot, priv},
        {"onCanRecved(VCI_CAN_OBJ)", slot, priv},
        {"onCanMsgBox(QString,bool)", slot, priv},
        {"onCanSend(signed char,ushort,quint8*,ushort)", slot, priv},
        {"onTimer()", slot, priv},
        {"readData()", slot, priv},
        {"on_btnStartMonit_clicked()", slot, priv},
        {"on_btnMonitor_clicked()", slot, priv},
        {"on_btn_openConsole_clicked()", slot, priv},
        {"on_btnTest_clicked()", slot, priv},
        {"onRecvedData(QByteArray,ushort,uchar,uchar,E_FUNC)", slot, priv},
        {"onRecved(QByteArray,uchar,uchar,uchar,E_FUNC)", slot, priv},
        {"onRecvedQString(QByteArray,E_FUNC)", slot, priv},
        {"onRecvedQStringUpdata(QByteArray,E_FUNC)", slot, priv},
        {"convertToACC2(QString&)", slot, priv},
        {"on_cbxLanguage_currentIndexChanged(int)", slot, priv},
        {"on_btnStart_clicked()", slot, priv},
        {"on_btnStop_clicked()", slot, priv},
        {"on_btnFileLoad_clicked()", slot, priv},
        {"timeSlot()", slot, priv},
        {"timeEndSlot()", slot, priv},
        {"timeSendSlot()", slot, priv},
        {"on_btnGetVer_clicked()", slot, priv},
        {"on_btnPdf_clicked()", slot, priv},
    };
    int index = 0;
    for (const auto &row : rows) {
        QTest::newRow(row.signature) << index++ << QByteArray(row.signature) << row.type << row.access;
    }
}

void TestWindowShape::metaObjectOrder()
{
    QFETCH(int, index);
    QFETCH(QByteArray, signature);
    QFETCH(int, type);
    QFETCH(int, access);
    const QMetaObject &mo = MainWindow::staticMetaObject;
    QCOMPARE(mo.methodOffset(), QMainWindow::staticMetaObject.methodCount());
    const QMetaMethod method = mo.method(mo.methodOffset() + index);
    QCOMPARE(method.methodSignature(), signature);
    QCOMPARE(int(method.methodType()), type);
    QCOMPARE(int(method.access()), access);
    QCOMPARE(mo.indexOfMethod(QMetaObject::normalizedSignature(signature.constData())),
             mo.methodOffset() + index);
    if (signature.startsWith("convertToACC2")) {
        QCOMPARE(QByteArray(method.typeName()), QByteArray("QByteArray"));
    } else {
        QCOMPARE(QByteArray(method.typeName()), QByteArray("void"));
    }
}

void TestWindowShape::metaObjectCount()
{
    const QMetaObject &mo = MainWindow::staticMetaObject;
    QCOMPARE(QByteArray(mo.className()), QByteArray("MainWindow"));
    QCOMPARE(mo.superClass(), &QMainWindow::staticMetaObject);
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 28);
}

void TestWindowShape::windowFrame()
{
    MainWindow w;
    QCOMPARE(w.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(w.size(), QSize(637, 600));
    QCOMPARE(w.windowTitle(), QStringLiteral("BMS"));
    QWidget *central = child<QWidget>(w, "centralwidget");
    QVERIFY(central);
    QCOMPARE(w.centralWidget(), central);
    QCOMPARE(w.menuBar()->objectName(), QStringLiteral("menubar"));
    QVERIFY(w.menuBar()->actions().isEmpty());
    QCOMPARE(w.menuBar()->geometry(), QRect(0, 0, 637, 21));
    QCOMPARE(w.statusBar()->objectName(), QStringLiteral("statusbar"));
    QCOMPARE(w.statusBar()->currentMessage(), QString());

    auto *outer = qobject_cast<QVBoxLayout *>(central->layout());
    QVERIFY(outer);
    QCOMPARE(outer->objectName(), QStringLiteral("verticalLayout_5"));
    const char *boxes[] = {"groupBox_6", "groupBox_10", "groupBox_8", "groupBox_7"};
    QCOMPARE(outer->count(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(outer->itemAt(i)->widget()->objectName(), QLatin1String(boxes[i]));
        QVERIFY(qobject_cast<QGroupBox *>(outer->itemAt(i)->widget()));
    }
}

void TestWindowShape::gridCells_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    const struct
    {
        const char *grid, *name, *cls;
        int row, column;
    } rows[] = {
        {"gridLayout_9", "label_4", "QLabel", 0, 0},
        {"gridLayout_9", "cbxLanguage", "QComboBox", 0, 1},
        {"gridLayout_9", "btnPdf", "QPushButton", 0, 2},
        {"gridLayout_9", "label_51", "QLabel", 0, 4},
        {"gridLayout_9", "lbStatus", "QLabel", 0, 5},
        {"gridLayout", "label", "QLabel", 0, 0},
        {"gridLayout", "comboBox_serialPort", "QComboBox", 0, 1},
        {"gridLayout", "btn_openConsole", "QPushButton", 0, 3},
        {"gridLayout", "label_2", "QLabel", 1, 0},
        {"gridLayout", "comboBox_baudRate", "QComboBox", 1, 1},
        {"gridLayout", "btnStartMonit", "QPushButton", 1, 3},
        {"gridLayout", "label_9", "QLabel", 2, 0},
        {"gridLayout", "comboBox_dataBits", "QComboBox", 2, 1},
        {"gridLayout", "label_10", "QLabel", 2, 2},
        {"gridLayout", "comboBox_parity", "QComboBox", 2, 3},
        {"gridLayout", "label_11", "QLabel", 3, 0},
        {"gridLayout", "comboBox_stopBit", "QComboBox", 3, 1},
        {"gridLayout", "label_12", "QLabel", 3, 2},
        {"gridLayout", "comboBox_flowBit", "QComboBox", 3, 3},
    };
    for (const auto &r : rows) {
        QTest::newRow(r.name) << QString::fromLatin1(r.grid) << QString::fromLatin1(r.name)
                              << QString::fromLatin1(r.cls) << r.row << r.column;
    }
}

void TestWindowShape::gridCells()
{
    QFETCH(QString, grid);
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(int, row);
    QFETCH(int, column);
    MainWindow w;
    auto *layout = w.findChild<QGridLayout *>(grid);
    QVERIFY(layout);
    QWidget *widget = w.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    const int index = layout->indexOf(widget);
    QVERIFY(index >= 0);
    int r = -1, c = -1, rs = 0, cs = 0;
    layout->getItemPosition(index, &r, &c, &rs, &cs);
    QCOMPARE(r, row);
    QCOMPARE(c, column);
    QCOMPARE(rs, 1);
    QCOMPARE(cs, 1);
    QCOMPARE(int(layout->itemAt(index)->alignment()), 0);
}

void TestWindowShape::boxLayouts()
{
    MainWindow w;
    // The language row: the spacer sits between Help and the status caption; two cells stay empty.
    auto *grid9 = child<QGridLayout>(w, "gridLayout_9");
    QCOMPARE(grid9->count(), 6);
    QLayoutItem *spacer = grid9->itemAtPosition(0, 3);
    QVERIFY(spacer && spacer->spacerItem());
    QCOMPARE(spacer->sizeHint(), QSize(40, 20));
    QCOMPARE(spacer->expandingDirections(), Qt::Horizontal);
    auto *grid = child<QGridLayout>(w, "gridLayout");
    QCOMPARE(grid->count(), 14);
    QVERIFY(grid->itemAtPosition(0, 2) == nullptr);
    QVERIFY(grid->itemAtPosition(1, 2) == nullptr);

    // Version row: verticalLayout_2 > verticalLayout_4 > horizontalLayout_3 (label_6, leVer, btnGetVer).
    auto *v2 = child<QVBoxLayout>(w, "verticalLayout_2");
    QCOMPARE(child<QGroupBox>(w, "groupBox_8")->layout(), v2);
    QCOMPARE(v2->count(), 1);
    QCOMPARE(v2->itemAt(0)->layout()->objectName(), QStringLiteral("verticalLayout_4"));
    auto *v4 = child<QVBoxLayout>(w, "verticalLayout_4");
    QCOMPARE(v4->count(), 1);
    auto *h3 = qobject_cast<QHBoxLayout *>(v4->itemAt(0)->layout());
    QVERIFY(h3);
    QCOMPARE(h3->objectName(), QStringLiteral("horizontalLayout_3"));
    QCOMPARE(h3->count(), 3);
    QCOMPARE(h3->itemAt(0)->widget(), child<QLabel>(w, "label_6"));
    QCOMPARE(h3->itemAt(1)->widget(), child<QLineEdit>(w, "leVer"));
    QCOMPARE(h3->itemAt(2)->widget(), child<QPushButton>(w, "btnGetVer"));

    // Update group: verticalLayout > (verticalLayout_3 > (horizontalLayout_2, progressBar)), listWidget,
    // horizontalLayout (spacer, btnStart, btnStop).
    auto *v = child<QVBoxLayout>(w, "verticalLayout");
    QCOMPARE(child<QGroupBox>(w, "groupBox_7")->layout(), v);
    QCOMPARE(v->count(), 3);
    auto *v3 = qobject_cast<QVBoxLayout *>(v->itemAt(0)->layout());
    QVERIFY(v3);
    QCOMPARE(v3->objectName(), QStringLiteral("verticalLayout_3"));
    QCOMPARE(v3->count(), 2);
    auto *h2 = qobject_cast<QHBoxLayout *>(v3->itemAt(0)->layout());
    QVERIFY(h2);
    QCOMPARE(h2->objectName(), QStringLiteral("horizontalLayout_2"));
    QCOMPARE(h2->count(), 3);
    QCOMPARE(h2->itemAt(0)->widget(), child<QLabel>(w, "label_3"));
    QCOMPARE(h2->itemAt(1)->widget(), child<QLineEdit>(w, "leFilePath"));
    QCOMPARE(h2->itemAt(2)->widget(), child<QPushButton>(w, "btnFileLoad"));
    QCOMPARE(v3->itemAt(1)->widget(), child<QProgressBar>(w, "progressBar"));
    QCOMPARE(v->itemAt(1)->widget(), child<QListWidget>(w, "listWidget"));
    auto *h = qobject_cast<QHBoxLayout *>(v->itemAt(2)->layout());
    QVERIFY(h);
    QCOMPARE(h->objectName(), QStringLiteral("horizontalLayout"));
    QCOMPARE(h->count(), 3);
    QVERIFY(h->itemAt(0)->spacerItem());
    QCOMPARE(h->itemAt(0)->sizeHint(), QSize(40, 20));
    QCOMPARE(h->itemAt(1)->widget(), child<QPushButton>(w, "btnStart"));
    QCOMPARE(h->itemAt(2)->widget(), child<QPushButton>(w, "btnStop"));
    for (QBoxLayout *box : {static_cast<QBoxLayout *>(v), static_cast<QBoxLayout *>(v3),
                            static_cast<QBoxLayout *>(h), static_cast<QBoxLayout *>(h2)}) {
        for (int i = 0; i < box->count(); ++i) {
            QCOMPARE(box->stretch(i), 0);
        }
    }
}

void TestWindowShape::creationOrder()
{
    // Children of each group box in the order the form creates them (the order of the form's
    // members, which differs from the cell order inside a grid).
    MainWindow w;
    const QList<QPair<const char *, QStringList>> expected = {
        {"groupBox_6", {"gridLayout_9", "label_51", "lbStatus", "label_4", "cbxLanguage", "btnPdf"}},
        {"groupBox_10",
         {"gridLayout", "comboBox_stopBit", "label_11", "comboBox_serialPort", "comboBox_dataBits", "label_9",
          "label_12", "comboBox_parity", "label", "label_10", "comboBox_flowBit", "label_2",
          "comboBox_baudRate", "btn_openConsole", "btnStartMonit"}},
        {"groupBox_8", {"verticalLayout_2", "label_6", "leVer", "btnGetVer"}},
        {"groupBox_7",
         {"verticalLayout", "label_3", "leFilePath", "btnFileLoad", "progressBar", "listWidget", "btnStart",
          "btnStop"}},
    };
    for (const auto &group : expected) {
        QStringList names;
        for (QObject *o : child<QGroupBox>(w, group.first)->children()) {
            if (o->isWidgetType() || qobject_cast<QLayout *>(o)) {
                names << o->objectName();
            }
        }
        QCOMPARE(names, group.second);
    }
    QStringList central;
    for (QObject *o : child<QWidget>(w, "centralwidget")->children()) {
        central << o->objectName();
    }
    QCOMPARE(central,
             (QStringList{"verticalLayout_5", "groupBox_6", "groupBox_10", "groupBox_8", "groupBox_7"}));
}

void TestWindowShape::sizeLimits()
{
    MainWindow w;
    const QSize any(16777215, 16777215);
    for (const char *name : {"label", "label_2", "label_9", "label_10", "label_11", "label_12"}) {
        QLabel *label = child<QLabel>(w, name);
        // At least 54 wide, and as wide as its caption needs but no wider (Windows' 150 %:
        // tests/wine/windpi.cpp).
        QCOMPARE(label->minimumSize(), QSize(54, 0));
        QCOMPARE(label->maximumSize(), any);
        QCOMPARE(label->sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);
    }
    for (const char *name : {"cbxLanguage", "comboBox_serialPort", "comboBox_baudRate", "comboBox_dataBits",
                             "comboBox_parity", "comboBox_stopBit", "comboBox_flowBit"}) {
        QComboBox *combo = child<QComboBox>(w, name);
        QCOMPARE(combo->minimumSize(), QSize(0, 0));
        QCOMPARE(combo->maximumSize(), any);
    }
    QCOMPARE(child<QListWidget>(w, "listWidget")->minimumSize(), QSize(0, 0));
}

void TestWindowShape::hiddenWidgets()
{
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QStringList hidden{"label_9",  "comboBox_dataBits", "label_10", "comboBox_parity",
                             "label_11", "comboBox_stopBit",  "label_12", "comboBox_flowBit"};
    for (const QString &name : hidden) {
        QWidget *widget = w.findChild<QWidget *>(name);
        QVERIFY2(widget && widget->isHidden(), qPrintable(name));
    }
    for (const char *name :
         {"label", "comboBox_serialPort", "label_2", "comboBox_baudRate", "btn_openConsole", "btnStartMonit",
          "lbStatus", "label_51", "cbxLanguage", "btnPdf", "leVer", "leFilePath", "progressBar", "listWidget",
          "btnStart", "btnStop"}) {
        QVERIFY2(child<QWidget>(w, name)->isVisible(), name);
    }
}

void TestWindowShape::initialState()
{
    MainWindow w;
    QCOMPARE(child<QProgressBar>(w, "progressBar")->value(), 0);
    QCOMPARE(child<QListWidget>(w, "listWidget")->count(), 0);
    QCOMPARE(child<QLineEdit>(w, "leVer")->text(), QString());
    QCOMPARE(child<QLineEdit>(w, "leFilePath")->text(), QString());
    QCOMPARE(child<QComboBox>(w, "cbxLanguage")->currentIndex(), 0);
    QVERIFY(MainWindowTestAccess::languageReady(w));
    const Download::Exchange &exchange = MainWindowTestAccess::exchange(w);
    QCOMPARE(exchange.state().pending, eFuncNone);
    QCOMPARE(exchange.parent(), &w);
    QVERIFY(!MainWindowTestAccess::portOpen(w));
    QCOMPARE(MainWindowTestAccess::packLen(w), quint16(4096));
    QVERIFY(!exchange.state().initTimer && !exchange.state().endTimer && !exchange.state().stallTimer);
    QCOMPARE(MainWindowTestAccess::version(w), QString());
    // Starting up writes no settings file.
    QVERIFY(!QFile::exists(configPath()));
}

QTEST_MAIN(TestWindowShape)
#include "tst_windowshape.moc"
