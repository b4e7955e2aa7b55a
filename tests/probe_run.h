// Runs a test program as a process of its own, offscreen, for tests of how the
// program ends.
//
//   ProbeRun run = RunProbe(VELLUMARA_CLOSE_PROBE, {"esc"});
//   EXPECT_TRUE(run.finished);
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vellumara::test {

struct ProbeRun {
  bool finished = false;  // ended by itself within the time given
  int exitCode = -1;      // its status when it ended normally, else -1
  QByteArray output;      // what it printed on standard output
};

// RunProbe: runs program with arguments and waits up to timeoutMs; a program
// still running then is killed, so a hang fails the test instead of stalling it.
inline ProbeRun RunProbe(const QString& program, const QStringList& arguments,
                         int timeoutMs = 30000) {
  QProcess probe;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  probe.setProcessEnvironment(env);
  probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  probe.start(program, arguments);
  ProbeRun run;
  if (!probe.waitForStarted()) return run;
  run.finished = probe.waitForFinished(timeoutMs);
  if (!run.finished) {
    probe.kill();
    probe.waitForFinished();
  }
  if (probe.exitStatus() == QProcess::NormalExit) run.exitCode = probe.exitCode();
  run.output = probe.readAllStandardOutput();
  return run;
}

}  // namespace vellumara::test
