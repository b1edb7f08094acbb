#pragma once

#include "protocol/answerassembler.h"
#include "protocol/commandqueue.h"
#include "protocol/frame.h"
#include "protocol/tdrrecord.h"
#include "session/recordstore.h"

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

    // How a chain ended. Records of a download, files of an upload.
    struct Summary
    {
        Chain kind = Chain::None;
        int total = 0;
        int done = 0;        // saved or written
        int failed = 0;      // answered, but the record could not be saved
        int notDone = 0;     // cancelled, or lost with the link or a silent instrument
        QStringList skipped; // files an upload left out before sending anything
        bool cancelled = false;
        bool linkLost = false;
        bool gaveUp = false;
        QString text; // one line for the user
        bool complete() const { return failed == 0 && notDone == 0 && skipped.isEmpty(); }
    };

    struct UploadPlan
    {
        bool linked = true; // false: nothing was queued
        int queued = 0;
        QStringList skipped;
        QString notes; // the skips, as one line for the user; empty when none
    };

    static constexpr int kHighestSlot = 99;

    explicit InstrumentSession(QObject *parent = nullptr);
    ~InstrumentSession() override;

    RecordStore &store() { return m_store; }
    CommandQueue &queue() { return m_queue; }
    const TDRRecord &record() const { return m_record; }
    QBluetoothServiceInfo service() const { return m_service; }
    bool isLinked() const { return m_linked; }
    Chain chain() const { return m_chain.kind; }
    // The running chain's records saved or files written so far, of its total.
    int chainDone() const { return m_chain.done; }
    int chainTotal() const { return m_chain.total; }

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
    // The usable files go into consecutive slots from `firstSlot`; the record
    // list is asked for afterwards.
    UploadPlan upload(const QStringList &paths, int firstSlot);
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
    void chainStepDone(bool succeeded);
    Summary finishChain(bool linkLost = false, bool gaveUp = false);

    RecordStore m_store;
    CommandQueue m_queue;
    AnswerAssembler m_assembler;
    TDRRecord m_record;
    QBluetoothServiceInfo m_service;
    QList<QPointer<TDRClient>> m_clients;
    QPointer<TDRClient> m_client; // the link frames go to
    bool m_linked = false;

    struct ChainState
    {
        Chain kind = Chain::None;
        int total = 0;
        int done = 0;
        int failed = 0;
        int cancelled = 0;
        bool savedInStep = false; // a record saved since the last read went out
        QString lastProblem;
        QStringList skipped;
        QString notes;
    } m_chain;
};

Q_DECLARE_METATYPE(InstrumentSession::Summary)
