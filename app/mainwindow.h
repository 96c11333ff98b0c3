// The updater's one window. It owns every piece of state of a run; its methods live in the folder
// of their area (serial/, upgrade/, app/) and stay thin over the pure codec in protocol/.
#pragma once

#include "codec.h"
#include "constants.h"
#include "downloadmachine.h"
#include "downloadrecord.h"
#include "vcicanobj.h"

#include <QByteArray>
#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <QTranslator>

#include <array>
#include <memory>

class QLabel;
class QSerialPort;
class QTimer;

namespace Download {
class Exchange;
}

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    bool eventFilter(QObject *watched, QEvent *event) override;

    // Puts a device the system's port list never shows (a pseudo-terminal, a by-id link) at the
    // top of the port list and selects it; "Update Serial" keeps it.
    void setExtraPort(const QString &device);

signals:
    void sigSendFWUG(E_FUNC func, QByteArray arrData);

public slots:
    void OnStatusBtnClicked();
    void powerChange(int curPow);

private slots:
    void recvResult(QByteArray data);
    void on_btnClose_clicked();
    void onCanRecved(VCI_CAN_OBJ rBuf);
    void onCanMsgBox(QString s, bool bWarning);
    void onCanSend(signed char ucFunc, ushort usRegAddr, quint8 *pucBuf, ushort usLen);
    void onTimer();
    void readData();
    void on_btnStartMonit_clicked();
    void on_btnMonitor_clicked();
    void on_btn_openConsole_clicked();
    void on_btnTest_clicked();
    void onRecvedData(QByteArray arrData, ushort cd1, uchar cd2, uchar ADR, E_FUNC func);
    void onRecved(QByteArray arrData, uchar cd1, uchar cd2, uchar ADR, E_FUNC func);
    void onRecvedQString(QByteArray arrData, E_FUNC func);
    void onRecvedQStringUpdata(QByteArray arrData, E_FUNC func);
    QByteArray convertToACC2(QString &hexString);
    void on_cbxLanguage_currentIndexChanged(int index);
    void on_btnStart_clicked();
    void on_btnStop_clicked();
    void on_btnFileLoad_clicked();
    void timeSlot();
    void timeEndSlot();
    void timeSendSlot();
    void on_btnGetVer_clicked();
    void on_btnPdf_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void addLogLine(const QString &message);
    void addNoticeLine(const QString &message); // a notice: the time stamp, ":  " and the message
    bool downloadRunning() const;               // a download is under way and has not reached an outcome

    // The port
    void initSerialPort();
    void fillPortList();
    void setLED(QLabel *label, int color, int size);
    void setPortClosedState();
    void sendAsciiFrame(QByteArray info, uchar cid1, uchar cid2, uchar adr, uchar ver, E_FUNC func);

    // The image and the download
    void padByteArrayToMultipleOf1024();
    void warnVersionMismatch(); // the path lacks the version: the box says which characters it needs
    void askVersion();
    void startAfterVersionCheck(bool answered);
    void setStartAwaitsVersion(bool waits);
    void connectExchange(); // what the exchange signals, onto the widgets
    QString noticeText(Download::Notice notice, quint32 value, int code = 0) const;
    // The bar of a download that ended without confirmation: packets taken, drawn as a failure;
    // false puts the usual look back.
    void showProgressFailed(bool failed, quint32 packets = 0);

    QTranslator m_Translator;
    std::unique_ptr<Ui::MainWindow> ui;
    QSerialPort *m_SerialPort = nullptr;
    QByteArray m_arrSOI;
    QByteArray m_arrUpgradeSOI;
    QByteArray m_arrEOI;
    QString m_strVersion;
    std::array<char, 324> m_testRecord{};
    QByteArray m_FWContext;
    QByteArray m_FWContextHead8;
    QString m_strLastDir;
    quint32 g_uiUGDataCount = 0;
    quint16 g_usUGPackLen = Quorvane::kPacketHexChars;
    bool m_bLanguageReady = false;
    bool m_PortOpen = false;

    QString m_extraPort; // from the command line; listed first and kept on refresh
    // Qt's own Chinese strings (standard buttons, the file dialog), installed with m_Translator.
    QTranslator m_QtTranslator;

    // The port's whole exchange: the download, its timers and counters, the replies, the record.
    Download::Exchange *m_exchange = nullptr;
    QString m_imagePath;               // the file of the image loaded
    bool m_progressFailed = false;     // the bar shows a download that ended without confirmation
    bool m_versionAsked = false;       // a version query awaits its answer (or its 3 s end)
    bool m_startAwaitsVersion = false; // Start asked the pack for its version and waits for it

    friend class MainWindowTestAccess; // tests read the state a user cannot see directly
};
