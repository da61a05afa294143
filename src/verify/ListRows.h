#pragma once

#include "CheckRun.h"
#include "VerifyLoop.h"

#include <QElapsedTimer>
#include <QHash>
#include <unordered_map>

class LinkedOutside;
class StallWatch;

// The verify loop's events as the window's deliveries: a row for each entry as it is read, a problem for each line
// not understood or disagreeing, an answer for each verdict, and the rows whose file system does not answer. They
// gather and go in runs, so that a list of a million lines costs the window a few thousand updates, not a million.
class ListRows : public VerifyObserver
{
public:
    ListRows(CheckRun& run, StallWatch& watch, LinkedOutside& outside);

    void onEntryRead(const VerifyEntry& read) override;
    void onVerdict(const VerifyEvent& event) override;
    void onStillWaiting() override;
    bool stopRequested() const override { return m_run.isCancelled(); }

    // Hands over what has gathered.
    void flush();
    // Whether the list held anything to show: an entry or a line not understood.
    bool anyLine() const { return m_rows > 0 || m_anyMalformed; }

private:
    struct First
    {
        qsizetype row;
        quint64 lineNumber;
        quint64 expected; // a fingerprint
        bool marked;
    };

    void markConflict(CheckRow& row);
    static QString conflictText(const First& first, const QByteArray& firstSpelling, const CheckRow& row,
                                const QByteArray& lexical);
    void tellStalled();
    void gathered();

    CheckRun& m_run;
    StallWatch& m_watch;
    LinkedOutside& m_outside;
    Delivery m_pending;
    qsizetype m_pendingCount = 0;
    QElapsedTimer m_sinceFlush;
    QElapsedTimer m_sinceStallLook;
    QHash<quint64, First> m_firstOf;
    QHash<quint64, QByteArray> m_firstSpelling; // of the names in m_firstOf whose first line spells them otherwise
    std::size_t m_seed;
    std::unordered_map<qsizetype, QByteArray> m_out; // rows read and not yet answered, with their files' paths
    QString m_lastNote;                              // shared by the rows it is the note of
    QByteArray m_lastName;                           // shared by the rows that give it
    QByteArray m_lastExpected;                       // shared by the rows that give it
    qsizetype m_rows = 0;
    quint64 m_unread = 0; // lines not understood
    bool m_anyMalformed = false;
};
