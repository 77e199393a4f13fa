#include "uScriptForm.h"

#include "uMacroEngine.h"
#include "uMacroRecorder.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

TScriptForm::TScriptForm(TMacroEngine* engine, QWidget* parent)
    : QWidget(parent, Qt::Window),
      FEngine(engine),
      FEditor(new QPlainTextEdit(this)),
      FRecord(new QPushButton(QStringLiteral("Record"), this)),
      FStop(new QPushButton(QStringLiteral("Stop"), this)),
      FRun(new QPushButton(QStringLiteral("Run"), this)),
      FStatus(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Script"));
    FEditor->setAccessibleName(QStringLiteral("Macro"));
    FEditor->setFont(QFont(QStringLiteral("monospace")));
    FStop->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(FRecord);
    buttons->addWidget(FStop);
    buttons->addWidget(FRun);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(FEditor);
    layout->addWidget(FStatus);
    connect(FRecord, &QPushButton::clicked, this, &TScriptForm::record);
    connect(FStop, &QPushButton::clicked, this, &TScriptForm::stop);
    connect(FRun, &QPushButton::clicked, this, &TScriptForm::runMacro);
    resize(520, 420);
}

TScriptForm::~TScriptForm()
{
    if (FRecording)
        TMacroRecorder::clearTarget();
}

void TScriptForm::record()
{
    FEditor->clear();
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    appendLine(QStringLiteral("//Macro saved on ") + locale.toString(now.date(), QLocale::LongFormat)
               + QStringLiteral(" at ") + locale.toString(now.time(), QLocale::LongFormat));
    appendLine(QString());
    appendLine(QStringLiteral("begin"));
    TMacroRecorder::setTarget([this](const QString& line) { appendLine(QStringLiteral("    ") + line); });
    FRecording = true;
    FRecord->setEnabled(false);
    FStop->setEnabled(true);
    FRun->setEnabled(false);
    setStatus(QStringLiteral("Recording"));
}

void TScriptForm::stop()
{
    if (!FRecording)
        return;
    appendLine(QStringLiteral("end."));
    TMacroRecorder::clearTarget();
    FRecording = false;
    FRecord->setEnabled(true);
    FStop->setEnabled(false);
    FRun->setEnabled(true);
    setStatus(QStringLiteral("Recorded"));
}

bool TScriptForm::runMacro()
{
    FEngine->compile();
    const TMacroEngine::TResult result = FEngine->run(FEditor->toPlainText());
    if (result.ok) {
        setStatus(QStringLiteral("Done"));
        return true;
    }
    setStatus(QStringLiteral("Line %1: %2").arg(result.line).arg(result.reason));
    QTextCursor cursor(FEditor->document()->findBlockByNumber(result.line - 1));
    cursor.select(QTextCursor::LineUnderCursor);
    FEditor->setTextCursor(cursor);
    return false;
}

QString TScriptForm::status() const
{
    return FStatus->text();
}

void TScriptForm::appendLine(const QString& line)
{
    FEditor->appendPlainText(line);
}

void TScriptForm::setStatus(const QString& text)
{
    FStatus->setText(text);
    FStatus->setAccessibleName(text);
}

void TScriptForm::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (OnClose)
        OnClose();
}
