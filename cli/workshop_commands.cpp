// list and report: every engraver found, the device nodes of those that cannot
// be reached, and the read-only report for support.
#include <algorithm>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/backup_file.h"
#include "cli/commands.h"
#include "cli/entries.h"
#include "cli/workshop.h"
#include "config/presets.h"
#include "korimo/version.h"

#ifndef _WIN32
#include <sys/utsname.h>
#endif

namespace korimo::cli {
namespace {

struct ListedEngraver {
  std::size_t index = 0;                      // 1-based, in the finder's order
  FoundEngraver found;                        // trouble set when it cannot be used
  std::optional<std::int32_t> serial_number;  // read from its status when it can
  std::uint8_t model_code = 0;
};

std::string PlatformText(std::string_view found_how) {
#ifdef _WIN32
  static_cast<void>(found_how);
  return "Windows (engravers found in the registry's device-interface catalogue)";
#else
  std::string text = "unknown system";
  if (utsname name{}; uname(&name) == 0) {
    text = std::string(name.sysname) + " " + name.release + " " + name.machine;
  }
  return text + " (engravers found " + std::string(found_how) + ")";
#endif
}

void PrintListed(std::ostream& out, const std::vector<ListedEngraver>& listed) {
  for (const ListedEngraver& engraver : listed) {
    out << engraver.index << "  "
        << (engraver.found.path.empty() ? "(no path)" : engraver.found.path) << "  "
        << (engraver.serial_number ? "serial " + FiveDigits(*engraver.serial_number) + ", model " +
                                         ModelText(engraver.model_code)
                                   : engraver.found.trouble)
        << '\n';
  }
}

void PrintJson(std::ostream& out, const std::vector<ListedEngraver>& listed) {
  out << '[';
  for (const ListedEngraver& engraver : listed) {
    out << (&engraver == listed.data() ? "" : ", ") << "{\"index\": " << engraver.index
        << ", \"path\": " << JsonText(engraver.found.path);
    if (engraver.serial_number) {
      const ModelPreset* preset = FindPreset(engraver.model_code);
      out << ", \"serial_number\": " << *engraver.serial_number
          << ", \"model_code\": " << int{engraver.model_code}
          << ", \"model\": " << (preset != nullptr ? JsonText(preset->name) : std::string("null"));
    } else {
      out << ", \"trouble\": " << JsonText(engraver.found.trouble);
    }
    out << '}';
  }
  out << "]\n";
}

void PrintStatus(std::ostream& out, const StatusPacket& packet) {
  out << "Status packet:";
  for (const std::uint8_t byte : packet) {
    out << ' ' << HexByte(byte).substr(2);
  }
  const auto word = [&](std::uint8_t at) { return packet[at] * 256 + packet[at + 1u]; };
  std::string pressed;
  for (const inputs::NamedInput& input : inputs::kNamed) {
    if ((packet[status::kInputs] & input.bit) != 0) {
      pressed += (pressed.empty() ? "" : ", ") + std::string(input.name);
    }
  }
  out << "\n  busy " << ((packet[status::kBusyByte] & status::kBusyBit) != 0 ? "yes" : "no")
      << "; inputs " << HexByte(packet[status::kInputs]) << " ("
      << (pressed.empty() ? "none" : pressed) << "); memory answer "
      << HexByte(packet[status::kMemoryAnswer]) << "\n  serial number "
      << FiveDigits(word(status::kSerialNumber)) << "; model code "
      << ModelText(packet[status::kModelCode]) << "\n  max X " << word(status::kMaxX) << ", max Y "
      << word(status::kMaxY) << ", max Z " << word(status::kMaxZ) << " (0.001 in)"
      << "\n  raster " << word(status::kRasterSpeed) << ", vector " << word(status::kVectorSpeed)
      << ", Z speed " << word(status::kZSpeed) << " (0.001 in/sec)\n  position X "
      << word(status::kPositionX) << ", Y " << word(status::kPositionY) << ", Z "
      << word(status::kPositionZ) << '\n';
}

// Every engraver in the finder's order; each one that can be used is opened
// and its serial number and model read.
std::vector<ListedEngraver> ListEngravers(Engravers& engravers) {
  std::vector<ListedEngraver> listed;
  for (FoundEngraver& found : engravers.List()) {
    ListedEngraver& engraver =
        listed.emplace_back(ListedEngraver{listed.size() + 1, std::move(found), std::nullopt, 0});
    std::string& trouble = engraver.found.trouble;
    if (!trouble.empty()) {
      continue;
    }
    const std::string at = "The engraver at " + engraver.found.path;
    const std::unique_ptr<modKT90> kt90 = engravers.LinkTo(engraver.found.path);
    if (!kt90->IsDeviceConnected()) {
      trouble = !kt90->DeviceTrouble().empty() ? kt90->DeviceTrouble()
                                               : at + " was unplugged while it was looked at.";
    } else if (std::string why = engravers.Trouble({engraver.found.path, ""}); !why.empty()) {
      trouble = std::move(why);
    } else if (const std::optional<std::int32_t> serial = kt90->GetSerialNumber();
               const std::optional<std::uint8_t> model =
                   serial ? kt90->GetModelCode() : std::nullopt) {
      engraver.serial_number = serial;
      engraver.model_code = *model;
    } else {
      trouble =
          at + " did not answer its status read" +
          (kt90->NoAnswerReason().empty() ? std::string()
                                          : " (" + std::string(kt90->NoAnswerReason()) + ")") +
          ".";
    }
  }
  return listed;
}

// The engraver's device nodes in list and report: the engravers that are
// plugged in but cannot be reached, and why.

// The engraver's device nodes that are present but cannot be reached, each
// listed under its instance ID with its trouble, numbered on from `after`.
std::vector<ListedEngraver> UnreachableNodes(const std::vector<EngraverNode>& nodes,
                                             std::size_t after) {
  std::vector<ListedEngraver> unreachable;
  for (const EngraverNode& node : nodes) {
    if (std::string trouble = NodeSentence(node); !trouble.empty()) {
      unreachable.push_back(
          {after + unreachable.size() + 1, {node.instance, std::move(trouble)}, std::nullopt, 0});
    }
  }
  return unreachable;
}

// The sentence for no engraver found, naming what was seen instead: the
// unreachable device nodes, or (where the platform shows device nodes) that
// there is no USB device of the engraver at all.
std::string NoEngraverSeen(const platform::Ports& ports,
                           const std::vector<ListedEngraver>& unreachable) {
  std::string sentence(ports.none_found);
  if (unreachable.empty() && ports.nodes == nullptr) {
    return sentence;
  }
  if (sentence.ends_with('.')) {
    sentence.pop_back();  // the sentence goes on
  }
  if (!unreachable.empty()) {
    sentence += "; seen instead: ";
    for (std::size_t i = 0; i < unreachable.size(); ++i) {
      sentence += (i == 0 ? "" : ", ") + unreachable[i].found.path;
    }
    sentence += ", which cannot be reached (see why above).";
  } else {
    sentence +=
        ", and no USB device with hardware ID USB\\VID_7E21&PID_0065 is present: check the "
        "cable and the power of the engraver.";
  }
  return sentence;
}

// The device nodes of the engraver and their facts, for a support report.
std::string NodesReport(const std::vector<EngraverNode>& nodes) {
  std::string report = "\nUSB device nodes of the engraver (USB\\VID_7E21&PID_0065):\n";
  if (nodes.empty()) {
    report += "  none\n";
  }
  for (const EngraverNode& node : nodes) {
    report += NodeFacts(node);
  }
  return report;
}

}  // namespace

int RunList(Session& session, std::span<const std::string>) {
  Engravers* engravers = session.Reach();
  if (engravers == nullptr) {
    return kExitNoEngraver;
  }
  std::vector<ListedEngraver> listed = ListEngravers(*engravers);
  // Present but unreachable engravers are shown, and change no exit code.
  std::vector<ListedEngraver> unreachable;
  if (const std::optional<std::string> device = session.Line().Value("--device")) {
    std::vector<FoundEngraver> found;
    std::ranges::transform(listed, std::back_inserter(found), &ListedEngraver::found);
    const std::optional<std::size_t> index = ResolveDevice(*device, found);
    if (!index) {
      session.Err() << "--device " << Echo(*device) << " names no engraver found.\n";
      return kExitNoEngraver;
    }
    listed = {listed[*index]};
  } else {
    unreachable = UnreachableNodes(engravers->Nodes(), listed.size());
  }
  std::vector<ListedEngraver> shown = listed;
  shown.insert(shown.end(), unreachable.begin(), unreachable.end());
  if (session.Line().Has("--json")) {
    PrintJson(session.Out(), shown);
  } else {
    PrintListed(session.Out(), shown);
  }
  if (listed.empty()) {
    session.Err() << NoEngraverSeen(engravers->Ports(), unreachable) << '\n';
    return kExitNoEngraver;
  }
  return kExitOk;
}

int RunReport(Session& session, std::span<const std::string> operands) {
  // The file is settled before any engraver is reached, as for a backup.
  const std::unique_ptr<ReplacementFile> file =
      operands.empty() ? nullptr : NewFileFor(session, operands[0], "an older report");
  if (!operands.empty() && !file) {
    return kExitRefused;
  }
  std::ostringstream report;
  report << "Korimo support report\nProgram: korimo-cli " << kVersion
         << "\nTime: " << session.GetPacer().UtcNow() << '\n';
  if (Engravers* engravers = session.Reach(); engravers == nullptr) {
    report << "Platform: no way to reach engravers in this build\n";
  } else {
    const platform::Ports& ports = engravers->Ports();
    report << "Platform: " << PlatformText(ports.found_how) << "\n\nEngravers found:\n";
    const std::vector<ListedEngraver> listed = ListEngravers(*engravers);
    const std::vector<EngraverNode> nodes = engravers->Nodes();
    const std::vector<ListedEngraver> unreachable = UnreachableNodes(nodes, listed.size());
    PrintListed(report, listed);
    PrintListed(report, unreachable);
    if (listed.empty()) {
      report << NoEngraverSeen(ports, unreachable) << '\n';
    }
    if (ports.nodes != nullptr) {
      report << NodesReport(nodes);
    }
    // What Connect says (which engraver, or why none) belongs in the report too.
    std::ostringstream said;
    std::streambuf* err = session.Err().rdbuf(said.rdbuf());
    modKT90* kt90 = listed.empty() ? nullptr : session.Connect();
    session.Err().rdbuf(err);
    report << said.str();
    if (kt90 != nullptr) {
      Cells cells{};
      const bool read =
          ReadAllCells(session, *kt90, cells, "the report has no memory dump") == kExitOk;
      report << "\nEngraver " << kt90->DevicePath() << '\n';
      if (const std::optional<StatusPacket> packet = kt90->ReadStatusPacket()) {
        PrintStatus(report, *packet);
      } else {
        report << "Status packet: the engraver did not answer.\n";
      }
      report << "Parameter memory:"
             << (read ? "\n" + FormatRows(cells) : " not every cell could be read.\n");
    }
  }
  if (operands.empty()) {
    session.Out() << report.str();
    return kExitOk;
  }
  if (const FileTrouble trouble = file->Commit(report.str())) {
    session.Err() << EchoPath(operands[0]) << " cannot be written. " << Sentence(trouble) << '\n';
    return kExitRefused;
  }
  session.Out() << "The report is in " << EchoPath(operands[0]) << ".\n";
  return kExitOk;
}

}  // namespace korimo::cli
