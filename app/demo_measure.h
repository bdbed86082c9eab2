// korimo-demo --measure: start-up time, the wall time of a Read and of a Set
// at the simulator's default timings, idle CPU with the windows open, and the
// peak resident memory (working set on Windows).
#pragma once

#include <QElapsedTimer>

#include "app/demo_session.h"

namespace korimo::app {

// Prints the figures on stdout; `since_main` started when main() began.
void RunMeasurements(const DemoParts& parts, const QElapsedTimer& since_main, int idle_seconds);

}  // namespace korimo::app
