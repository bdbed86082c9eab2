// Scripted runs of korimo-demo for machines without a display and for
// measurements. Both drive the real widgets as a user would, with the event
// loop running, so status ticks and repaints happen as they do interactively.
#pragma once

#include <QString>
#include <QStringList>

namespace korimo {
class s;
}

namespace korimo::sim {
class SimPlatform;
}

namespace korimo::app {

class ServiceWindows;
class SimulatorPanel;

struct DemoParts {
  s& window;
  SimulatorPanel& panel;
  sim::SimPlatform& platform;
  ServiceWindows& service;
};

// The engraver plugged in, Read, model "Korimo KX3", Set; then the engraver
// unplugged and plugged in again; then the jog, I/O and memory editor windows.
// Writes PNG screenshots into `directory` and returns their paths, in the
// order taken.
QStringList RunScriptedSession(const DemoParts& parts, const QString& directory);

// Lets the event loop run for `milliseconds`.
void RunEventsFor(int milliseconds);

}  // namespace korimo::app
