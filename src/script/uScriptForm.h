#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class TMacroEngine;

// The script window: an editor for macros, with Record, Stop and Run.
// Recording points the actions' recorder at the editor; Run checks the macro
// and runs it, or shows the line of its first error and why.
class TScriptForm : public QWidget {
    Q_OBJECT
public:
    explicit TScriptForm(TMacroEngine* engine, QWidget* parent = nullptr);
    ~TScriptForm() override;

    void record();
    void stop();
    bool runMacro();

    QPlainTextEdit* editor() const { return FEditor; }
    QString status() const;
    bool isRecording() const { return FRecording; }

    // Told when the user closes the window.
    std::function<void()> OnClose;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void appendLine(const QString& line);
    void setStatus(const QString& text);

    TMacroEngine* FEngine;
    QPlainTextEdit* FEditor;
    QPushButton* FRecord;
    QPushButton* FStop;
    QPushButton* FRun;
    QLabel* FStatus;
    bool FRecording = false;
};
