// list and report: every engraver found, and the read-only report for support.
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
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const ListedEngraver& engraver = listed[i];
    out << engraver.index << "  "
        << (engraver.found.path.empty() ? "(no path)" : engraver.found.path) << "  ";
    if (engraver.serial_number) {
      out << "serial " << FiveDigits(*engraver.serial_number) << ", model "
          << ModelText(engraver.model_code) << '\n';
    } else {
      out << engraver.found.trouble << '\n';
    }
  }
}

void PrintJson(std::ostream& out, const std::vector<ListedEngraver>& listed) {
  out << '[';
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const ListedEngraver& engraver = listed[i];
    out << (i == 0 ? "" : ", ") << "{\"index\": " << engraver.index
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

}  // namespace

std::vector<ListedEngraver> ListEngravers(Session& session) {
  std::vector<ListedEngraver> listed;
  Engravers* engravers = session.Reach();
  if (engravers == nullptr) {
    return listed;
  }
  for (FoundEngraver& found : engravers->List()) {
    ListedEngraver engraver{listed.size() + 1, std::move(found), std::nullopt, 0};
    if (engraver.found.trouble.empty()) {
      const std::string& path = engraver.found.path;
      const std::unique_ptr<modKT90> kt90 = engravers->LinkTo(path);
      if (!kt90->IsDeviceConnected()) {
        engraver.found.trouble = !kt90->DeviceTrouble().empty() ? kt90->DeviceTrouble()
                                                                : "The engraver at " + path +
                                                                      " was unplugged while it was "
                                                                      "looked at.";
      } else if (engravers->Usable({path, ""})) {
        const std::optional<std::int32_t> serial = kt90->GetSerialNumber();
        const std::optional<std::uint8_t> model = serial ? kt90->GetModelCode() : std::nullopt;
        if (serial && model) {
          engraver.serial_number = serial;
          engraver.model_code = *model;
        } else {
          engraver.found.trouble =
              "The engraver at " + path + " did not answer its status read" +
              (kt90->NoAnswerReason().empty() ? std::string()
                                              : " (" + std::string(kt90->NoAnswerReason()) + ")") +
              ".";
        }
      } else {
        engraver.found.trouble = "The engraver at " + path +
                                 " cannot be opened: another program has it open, or it was "
                                 "just unplugged.";
      }
    }
    listed.push_back(std::move(engraver));
  }
  return listed;
}

int RunList(Session& session, std::span<const std::string>) {
  if (session.Reach() == nullptr) {
    return kExitNoEngraver;
  }
  std::vector<ListedEngraver> listed = ListEngravers(session);
  if (const std::optional<std::string> device = session.Line().Value("--device")) {
    std::vector<FoundEngraver> found;
    for (const ListedEngraver& engraver : listed) {
      found.push_back(engraver.found);
    }
    const std::optional<std::size_t> index = ResolveDevice(*device, found);
    if (!index) {
      session.Err() << "--device " << Echo(*device) << " names no engraver found.\n";
      return kExitNoEngraver;
    }
    listed = {listed[*index]};
  }
  if (session.Line().Has("--json")) {
    PrintJson(session.Out(), listed);
  } else {
    PrintListed(session.Out(), listed);
  }
  if (listed.empty()) {
    session.Err() << session.Reach()->Ports().none_found << '\n';
    return kExitNoEngraver;
  }
  return kExitOk;
}

int RunReport(Session& session, std::span<const std::string> operands) {
  // The file is settled before any engraver is reached, as for a backup.
  std::unique_ptr<ReplacementFile> file;
  if (!operands.empty()) {
    file = NewFileFor(session, operands[0], "an older report");
    if (!file) {
      return kExitRefused;
    }
  }
  std::ostringstream report;
  report << "Korimo support report\nProgram: korimo-cli " << kVersion
         << "\nTime: " << session.GetPacer().UtcNow() << '\n';
  if (session.Reach() == nullptr) {
    report << "Platform: no way to reach engravers in this build\n";
  } else {
    const platform::Ports& ports = session.Reach()->Ports();
    report << "Platform: " << PlatformText(ports.found_how) << "\n\nEngravers found:\n";
    const std::vector<ListedEngraver> listed = ListEngravers(session);
    PrintListed(report, listed);
    if (listed.empty()) {
      report << ports.none_found << '\n';
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
      if (read) {
        report << "Parameter memory:\n" << FormatRows(cells);
      } else {
        report << "Parameter memory: not every cell could be read.\n";
      }
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
