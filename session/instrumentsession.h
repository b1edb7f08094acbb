// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/answerassembler.h"
#include "protocol/commandqueue.h"
#include "protocol/frame.h"
#include "protocol/tdrrecord.h"
#include "records/recordstore.h"
#include "session/uploadcheck.h"
#include "session/uploadplan.h"

#include <QBluetoothServiceInfo>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class TDRClient;

// The conversation with one instrument at a time, with no widgets: the link,
// the command queue, the reassembly of answers, the identity and the record
// image, and the chains that download records into files and upload files
// into records. The main window and the command-line tool are two faces of it.
class InstrumentSession : public QObject
{
    Q_OBJECT
public:
    enum class Chain { None, Download, Upload };

    // How a chain ended: records of a download, files of an upload; a chain
    // that did both counts both.
    struct Summary
    {
        Chain kind = Chain::None;
        int total = 0;
        int done = 0;           // saved, or written and confirmed by the instrument
        int failed = 0;         // answered, but the record could not be saved
        int notDone = 0;        // cancelled, or lost with the link or a silent instrument
        QStringList skipped;    // files an upload left out before sending anything
        QList<int> unconfirmed; // slots written but not shown (or not read back) as sent
        bool cancelled = false;
        bool linkLost = false;
        bool gaveUp = false;
        QString text; // one line for the user
        bool complete() const
        {
            return failed == 0 && notDone == 0 && skipped.isEmpty() && unconfirmed.isEmpty();
        }
    };

    using UploadPlan = ::UploadPlan;
    static constexpr int kHighestSlot = UploadPlan::kHighestSlot;

    explicit InstrumentSession(QObject *parent = nullptr);
    ~InstrumentSession() override;

    RecordStore &store() { return m_store; }
    CommandQueue &queue() { return m_queue; }
    const TDRRecord &record() const { return m_record; }
    QBluetoothServiceInfo service() const { return m_service; }
    bool isLinked() const { return m_linked; }
    Chain chain() const { return m_chain.kind; }
    // The running chain's records saved or files written so far, of its total.
    int chainDone() const { return m_chain.download.done + m_chain.upload.done; }
    int chainTotal() const { return m_chain.download.total + m_chain.upload.total; }

    // Opens a link to `service`; frames queued for an earlier link are dropped.
    void connectTo(const QBluetoothServiceInfo &service);
    // Drops every link; linkDown follows once the link reports it is gone.
    void disconnectLink();

    // The record list, asked at once.
    void requestList();
    // The record list, asked behind the queued commands.
    void queueList();
    // One ReadRecord per number, each sent once the one before is answered.
    bool download(const QList<quint8> &numbers);
    // The record list as the instrument last sent it on this link.
    const QList<protocol::RecordEntry> &recordList() const { return m_entries; }
    // Which file goes to which slot, from `firstSlot` on, and which of those
    // slots hold records by the last list. Each file is read here, once.
    UploadPlan planUpload(const QStringList &paths, int firstSlot) const;
    // Writes the plan's images; the record list is asked for afterwards and
    // must show every slot written. Returns the plan with `queued` set.
    UploadPlan upload(UploadPlan plan);
    UploadPlan upload(const QStringList &paths, int firstSlot)
    {
        return upload(planUpload(paths, firstSlot));
    }
    // Reads every written slot back and compares it with what was sent.
    void setReadBackUploads(bool on) { m_readBack = on; }
    bool readBackUploads() const { return m_readBack; }
    bool setSerial(const QString &text);
    // Drops the chain's waiting commands; the one in flight still finishes.
    void cancel();
    // Ends the chain now, whatever the link does: the command in flight is
    // given up too.
    void stop();

signals:
    // Every frame going to the instrument, and every piece coming back.
    void frameSent(const QString &frame);
    void pieceReceived(const QString &sender, const QString &piece);

    void linkUp(const QString &name);
    // `statusText` names what the link took with it; empty when nothing.
    void linkDown(const QString &statusText);
    // `wasUp` false: the link never came up.
    void linkError(const QString &error, bool wasUp);

    void identityReceived();
    void recordListReceived(const QList<protocol::RecordEntry> &entries);
    void recordSaved(quint8 number, const QString &fileName);
    void recordFailed(quint8 number, const QString &message);
    void chainStarted(InstrumentSession::Chain kind, int total);
    void progress(int done, int total);
    void chainFinished(const InstrumentSession::Summary &summary);
    // A problem to show that ends no chain.
    void notice(const QString &text);

private:
    void onClientConnected(const QString &name);
    void onClientDisconnected();
    void onClientError(const QString &error);
    void onPiece(const QString &sender, const QString &piece);

    void sendFrame(const QString &frame);
    void sendNextPending();
    void sendAtOnce(const QString &frame);
    void commandsAbandoned(int dropped);
    bool handleAnswer(const QByteArray &frame, const QString &inFlight);
    bool saveRecord(const QByteArray &frame);

    void beginChain(Chain kind, int total);
    void chainStepDone(const QString &inFlight, bool succeeded);
    // Counts a chain frame dropped before its answer; false for any other frame.
    bool countDropped(const QString &frame);
    void uploadListed(const QList<protocol::RecordEntry> &entries);
    void finishWhenResolved();
    Summary finishChain(bool linkLost = false, bool gaveUp = false);

    RecordStore m_store;
    CommandQueue m_queue;
    AnswerAssembler m_assembler;
    TDRRecord m_record;
    QBluetoothServiceInfo m_service;
    QList<QPointer<TDRClient>> m_clients;
    QPointer<TDRClient> m_client; // the link frames go to
    bool m_linked = false;

    QList<protocol::RecordEntry> m_entries;
    QPair<QByteArray, QString> m_lastRecord; // the last record block, and the read it answered
    bool m_readBack = false;

    struct Counts
    {
        int total = 0;
        int done = 0; // saved, or acknowledged
        int failed = 0;
        int cancelled = 0;
        bool resolved() const { return done + failed + cancelled >= total; }
    };
    struct ChainState
    {
        Chain kind = Chain::None; // the first of the two to start
        Counts download;
        Counts upload;
        UploadCheck check;
        bool savedInStep = false; // a record saved since the last read went out
        QString lastProblem;
        QStringList skipped;
        QString notes;
    } m_chain;
    UploadCheck m_lastCheck; // the check of the chain that ended last
};

Q_DECLARE_METATYPE(InstrumentSession::Summary)
