// The fixture of the window tests: a fresh MainWindow, shown, with a modal answerer and no settings
// file for every test function; a box left unanswered fails the test. A test class derives from it
// and uses m_window and m_answerer.
#pragma once

#include "modalanswerer.h"
#include "windowtestsupport.h"

#include <memory>

class WindowFixture : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        removeSettingsFile();
        m_answerer = std::make_unique<ModalAnswerer>();
        m_window = std::make_unique<MainWindow>();
        m_window->show();
    }

    void cleanup()
    {
        QVERIFY2(m_answerer->boxes().isEmpty(), qPrintable(m_answerer->boxes().value(0).text));
        m_window.reset();
        m_answerer.reset();
        removeSettingsFile();
    }

protected:
    // Puts device at the head of the port list and clicks the open button.
    void openOn(const QString &device)
    {
        m_window->setExtraPort(device);
        QCOMPARE(combo(*m_window, "comboBox_serialPort")->currentText(), device);
        QTest::mouseClick(button(*m_window, "btn_openConsole"), Qt::LeftButton);
    }

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ModalAnswerer> m_answerer;
};
