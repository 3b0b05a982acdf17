#include "log/frmLog.h"
#include "log/LogFormat.h"
#include "common/AppPaths.h"
#include "common/FindBar.h"
#include "common/MainWindowApi.h"
#include "common/OstrelError.h"
#include "common/Settings.h"
#include "common/UserInteraction.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>

namespace owb {

namespace {
const QString Section = QStringLiteral("config");
const QString KeySequence = QStringLiteral("logseq");
const QString KeyLastLog = QStringLiteral("lastlog");
const QString Title = QStringLiteral("Log");
constexpr int ButtonWidth = 100;
constexpr int ButtonHeight = 28;
constexpr int RightMargin = 16;   // 240 twips

} // namespace

frmLog::frmLog(IMainWindow *mainWindow, UserInteraction *ui, QWidget *parent, Clock clock)
    : QWidget(parent), m_mainWindow(mainWindow), m_ui(ui), m_clock(std::move(clock))
{
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Log"));

    m_rtfLog = new QPlainTextEdit(this);
    m_rtfLog->setObjectName(QStringLiteral("rtfLog"));
    m_rtfLog->setReadOnly(true);
    m_rtfLog->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->resize(ButtonWidth, ButtonHeight);
        b->raise();
        return b;
    };
    m_clear = button("Command1", QStringLiteral("Clear log"));
    m_save = button("Command2", QStringLiteral("Save log"));
    m_hide = button("Command3", QStringLiteral("Hide log"));
    connect(m_clear, &QPushButton::clicked, this, &frmLog::clearLog);
    connect(m_save, &QPushButton::clicked, this, &frmLog::saveLog);
    connect(m_hide, &QPushButton::clicked, this, &frmLog::hideLog);

    m_find = std::make_unique<PlainTextFind>(m_rtfLog);
    m_findBar = new FindBar([this] { return m_find.get(); }, this);
    m_findBar->attachKeys(this);
    connect(m_findBar, &FindBar::shownChanged, this, &frmLog::placeControls);

    resize(640, 400);
    load();
}

frmLog::~frmLog() = default;

QDateTime frmLog::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

QString frmLog::logDir()
{
    return AppPaths::writableDir(QStringLiteral("log"));
}

void frmLog::warn(const QString &text)
{
    if (m_ui)
        m_ui->message(text, Title, UserInteraction::Icon::Exclamation);
}

void frmLog::setWholeText(const QString &text)
{
    m_text = text;
    m_rtfLog->setPlainText(LogFormat::toDisplay(text));
}

void frmLog::load()
{
    const QString lastLog = Settings::get(Section, KeyLastLog, QString());
    const QString storedSeq = Settings::get(Section, KeySequence, QStringLiteral("1"));

    if (const auto seq = LogFormat::parseSequence(storedSeq)) {
        m_sequence = *seq;
    } else {
        m_sequence = 1;
        Settings::save(Section, KeySequence, QStringLiteral("1"));
        warn(QStringLiteral("The log sequence number \"%1\" is not a number from 1 to %2; "
                            "log numbering starts again at 1.")
                 .arg(storedSeq)
                 .arg(LogFormat::MaxSequence));
    }

    if (!lastLog.isEmpty()) {
        QFile file(lastLog);
        if (QFileInfo(lastLog).isFile() && file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            if (file.error() == QFileDevice::NoError) {
                setWholeText(LogFormat::decodeLogFile(bytes));
                return;
            }
        }
        const QString reason = QFileInfo::exists(lastLog) ? file.errorString()
                                                          : QStringLiteral("the file does not exist");
        warn(QStringLiteral("The last saved log %1 cannot be read (%2); a new log is started.")
                 .arg(QDir::toNativeSeparators(lastLog), reason));
    }

    setWholeText(LogFormat::startHeader(now()));
    const QString dir = logDir();
    if (!QFileInfo(dir).isDir()) {
        try {
            AppPaths::ensureWritableDir(QStringLiteral("log"));
        } catch (const OstrelError &e) {
            warn(QStringLiteral("The log folder cannot be created: %1").arg(e.description()));
        }
    }
}

void frmLog::Log(const QString &message)
{
    const QString line = LogFormat::entryLine(now(), message);
    const bool wasEmpty = m_text.isEmpty();
    m_text += LogFormat::EntrySeparator;
    m_text += line;
    if (wasEmpty) {
        // The separator alone makes an empty first line the widget would not show otherwise.
        m_rtfLog->setPlainText(LogFormat::toDisplay(m_text));
        return;
    }
    QScrollBar *bar = m_rtfLog->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    m_rtfLog->appendPlainText(LogFormat::toDisplay(line));
    if (atEnd)
        bar->setValue(bar->maximum());
}

void frmLog::LogEntry(const QString &message)
{
    Log(message);
}

void frmLog::clearLog()
{
    setWholeText(LogFormat::newLogHeader(now()));
    m_sequence = LogFormat::nextSequence(m_sequence);
    Settings::save(Section, KeySequence, QString::number(m_sequence));
}

void frmLog::saveLog()
{
    if (!m_ui)
        return;
    const QString proposed = LogFormat::proposedFileName(logDir(), m_sequence);
    const QString chosen = m_ui->saveFileName(QStringLiteral("Save log to"), proposed,
                                              QStringLiteral("Log file (*.log *.txt);;All files (*.*)"),
                                              QStringLiteral("log"));
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    // The proposed name comes again after a restart, when the file may hold an older log.
    if (!confirmOverwrite(*m_ui, path))
        return;
    // Written aside and renamed, so a failed save leaves an existing file as it was.
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        const QByteArray bytes = m_text.toUtf8();
        ok = file.write(bytes) == bytes.size();
    }
    if (ok)
        ok = file.commit();
    else
        file.cancelWriting();
    if (!ok) {
        warn(QStringLiteral("The log cannot be saved to %1 (%2).")
                 .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    Settings::save(Section, KeyLastLog, path);
}

void frmLog::hideLog()
{
    if (m_mainWindow)
        m_mainWindow->HideLog();
}

void frmLog::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

void frmLog::placeControls()
{
    // The find bar, when open, takes its height from the bottom of the text.
    const int barHeight = !m_findBar->isHidden() ? m_findBar->sizeHint().height() : 0;
    m_rtfLog->setGeometry(0, 0, width(), height() - barHeight);
    if (barHeight)
        m_findBar->setGeometry(0, height() - barHeight, width(), barHeight);
    const int left = width() - ButtonWidth - RightMargin;
    int top = 4;
    for (QPushButton *b : {m_clear, m_save, m_hide}) {
        b->setGeometry(left, top, ButtonWidth, ButtonHeight);
        b->raise();
        top += ButtonHeight + 4;
    }
}

} // namespace owb
