#pragma once
// A progress display for tests: records what it was told and cancels when told to.
#include "common/Progress.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace owbtest {

struct ProgressRecord {
    QString title;
    QStringList labels;          // the first one is the label given at the start
    QList<qint64> values;
    qint64 maximum = 0;
    qint64 cancelAtValue = -1;   // wasCancelled() is true once a value >= this was set
    int cancelQuestions = 0;     // how often wasCancelled() was asked
    bool ended = false;
};

class ScriptedProgress : public owb::Progress {
public:
    explicit ScriptedProgress(std::shared_ptr<ProgressRecord> record) : m_record(std::move(record)) {}
    ~ScriptedProgress() override { m_record->ended = true; }

    void setMaximum(qint64 maximum) override { m_record->maximum = maximum; }
    void setValue(qint64 value) override { m_record->values << value; }
    void setLabel(const QString &label) override { m_record->labels << label; }
    bool wasCancelled() override
    {
        ++m_record->cancelQuestions;
        return m_record->cancelAtValue >= 0 && !m_record->values.isEmpty()
            && m_record->values.last() >= m_record->cancelAtValue;
    }

private:
    std::shared_ptr<ProgressRecord> m_record;
};

} // namespace owbtest
