// The native half of the peer's page bridge: every request comes straight back.
#ifndef BENCH_PEERS_ECHO_BRIDGE_H_
#define BENCH_PEERS_ECHO_BRIDGE_H_

#include <QObject>
#include <QString>

class EchoBridge : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 public slots:
  // Called by the web channel on the UI thread. Answers |request| itself, or "{}"
  // when |echo| is false, the way a command with nothing to return answers.
  void query(double id, const QString& request, bool echo);
  // The same answer as the call's own result: one message back instead of two.
  QString answer(const QString& request, bool echo);

 signals:
  void response(double id, bool success, int code, const QString& text);
};

#endif  // BENCH_PEERS_ECHO_BRIDGE_H_
