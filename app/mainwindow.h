// The updater's one window. It owns every piece of state of a run; its methods live in the folder
// of their area (serial/, upgrade/, app/) and stay thin over the pure codec in protocol/.
#pragma once

#include "codec.h"
#include "constants.h"
#include "downloadmachine.h"
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
    // app/
    void addLogLine(const QString &message);
    bool downloadRunning() const; // a download is under way and has not reached an outcome

    // serial/
    void initSerialPort();
    void fillPortList();
    void setLED(QLabel *label, int color, int size);
    void setPortClosedState();
    void onPortError(int error);
    void parseRecvData();
    void sendAsciiFrame(QByteArray info, uchar cid1, uchar cid2, uchar adr, uchar ver);
    qint64 writeToPort(const QByteArray &bytes); // -1 when the port is not open or the write fails

    // upgrade/
    void padByteArrayToMultipleOf1024();
    void firmwareUpgrad(E_FUNC func, QByteArray data);
    void sendData();
    QByteArray buildUpgradeEndFrame(quint16 packetCount);
    // The download's state machine: feeds it an event with the window's counters, timers and
    // pending code, takes the new values back and carries out its actions.
    void feedDownload(Download::EventKind kind, E_FUNC func = eFuncNone);
    void carryOut(const Download::Action &action);
    QString noticeText(const Download::Action &action) const;
    void recordDownload(Download::Outcome outcome);

    QTranslator m_Translator;
    std::unique_ptr<Ui::MainWindow> ui;
    QSerialPort *m_SerialPort = nullptr;
    int m_iPacketCount = 0;
    QByteArray m_Recv;
    QByteArray m_arrSOI;
    QByteArray m_arrUpgradeSOI;
    QByteArray m_arrEOI;
    QTimer *m_InitTimer = nullptr;
    E_FUNC m_func = eFuncNone;
    int m_cntcnt = 0;
    QString m_strVersion;
    std::array<char, 324> m_testRecord{};
    QByteArray m_FWContext;
    QByteArray m_FWContextHead8;
    QString m_strLastDir;
    int m_iInitCount = 0;
    quint32 g_uiUGDataCount = 0;
    quint16 g_usUGPackLen = Quorvane::kPacketHexChars;
    quint32 g_usUGPackId = 0;
    QTimer *m_EndTimer = nullptr;
    bool m_bLanguageReady = false;
    bool m_PortOpen = false;
    int m_iEndCount = 0;

    QString m_extraPort; // from the command line; listed first and kept on refresh
    // Qt's own Chinese strings (standard buttons, the file dialog), installed with m_Translator.
    QTranslator m_QtTranslator;

    // The download beyond the counters above: its phase, whether it runs, its totals.
    Download::State m_download;
    QTimer *m_StallTimer = nullptr;  // single shot: no acknowledgement of a data packet in time
    bool m_bVersionReported = false; // the pack on the open port has reported its version
    // What the download record tells of the image and the run.
    QString m_imagePath;
    qint64 m_imageBytes = 0;
    QString m_imageSha256;
    QDateTime m_downloadStarted;

    friend class MainWindowTestAccess; // tests read the state a user cannot see directly
};
