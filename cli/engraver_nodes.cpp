// The engraver's device nodes in list and report: the engravers that are
// plugged in but cannot be reached, and why.
#include <string>
#include <vector>

#include "cli/workshop.h"

namespace korimo::cli {

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

}  // namespace korimo::cli
