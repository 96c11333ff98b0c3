// What the download benchmarks drive the window with, besides the tests' EventWait::until: the pack
// simulator on a thread of its own (for the turnaround, timed on the same clock as the window's
// process), and the quorvane-packsim program as a process of its own (for the line figures).
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMutex>
#include <QProcess>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <vector>

// A PackSim::PackSimulator on a pseudo-terminal, living and answering on its own thread, so the
// window's work in the main thread never holds up its reads or its answers.
class SimThread : public QThread
{
    Q_OBJECT
public:
    SimThread();
    ~SimThread() override;

    // Starts the thread and waits until the pseudo-terminal is open; false with errorString().
    bool startSimulator();
    QString slavePath() const { return m_path; }
    QString errorString() const { return m_error; }

    int repliesSent() const { return m_replies.load(); }
    int imagesCompleted() const { return m_images.load(); }
    int violations() const { return m_violations.load(); }
    QByteArray image() const;
    // Turnaround samples in microseconds: from an init or data acknowledgement handed to the line
    // to the last byte of the next data frame read from it. Clears them.
    std::vector<double> takeSamples();

protected:
    void run() override;

private:
    QElapsedTimer m_clock;
    QSemaphore m_ready;
    QString m_path;
    QString m_error;
    std::atomic<int> m_replies{0};
    std::atomic<int> m_images{0};
    std::atomic<int> m_violations{0};
    mutable QMutex m_mutex;
    QByteArray m_image;
    std::vector<double> m_samples;
};

// The quorvane-packsim program serving a pseudo-terminal, with the arguments given.
class PackSimProcess
{
public:
    ~PackSimProcess();
    // Starts it and reads the path it serves (its first line on stdout).
    bool start(const QStringList &arguments, int timeoutMs);
    QString slavePath() const { return m_path; }
    QString errorString() const { return m_error; }
    // Stops it with SIGTERM and keeps the summary it prints on the way out.
    bool stop(int timeoutMs);
    QString summary() const { return m_summary; }
    // From the summary: "violations: N" (-1 when missing).
    int violations() const;

private:
    QProcess m_process;
    QString m_path;
    QString m_error;
    QString m_summary;
};
