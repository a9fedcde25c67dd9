#include "mermaid.h"

#include <set>
#include <sstream>

#include "sdk_cmd.h"
#include "signalling/msg_types.h"
#include "signalling/wire_texts.h"

namespace mrtcsim {

namespace {

// Participant ids: letters, digits and underscores only.
std::string ident(const std::string& name) {
  std::string out;
  for (char c : name) {
    bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    out += ok ? c : '_';
  }
  if (out.empty() || (out[0] >= '0' && out[0] <= '9')) out = "c_" + out;
  return out;
}

// Message and note texts: one line, none of the characters Mermaid treats
// as syntax inside a label.
std::string label(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case ';':
        out += ',';
        break;
      case '#':
        out += "No.";
        break;
      case '\n':
      case '\r':
      case '\t':
        out += ' ';
        break;
      case '<':
        out += '(';
        break;
      case '>':
        out += ')';
        break;
      case '{':
      case '}':
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string seconds(int64_t t) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%lld.%03lld s", static_cast<long long>(t / 1000),
                static_cast<long long>(t % 1000));
  return buf;
}

}  // namespace

std::string mermaidDiagram(const RunResult& run, const std::string& title) {
  std::ostringstream out;
  out << "sequenceDiagram\n";
  if (!title.empty()) out << "  %% " << label(title) << "\n";
  std::set<std::string> declared;
  for (const Participant& p : run.clients) {
    std::string id = ident(p.name);
    if (!declared.insert(id).second) continue;
    out << "  participant " << id << " as " << label(p.name) << " (" << p.user << ", "
        << deviceName(p.device) << ")\n";
  }
  // Senders that are no client of the scenario (injected messages).
  for (const Item& it : run.items) {
    if (it.kind != kind::kDeliver) continue;
    std::string id = ident(it.str("from"));
    if (!declared.insert(id).second) continue;
    out << "  participant " << id << " as " << label(it.str("from")) << " (" << it.num("fromUser")
        << ", " << deviceName(it.num("fromDevice")) << ", injected)\n";
  }
  for (const Item& it : run.items) {
    std::string who = ident(it.client);
    if (it.kind == kind::kDeliver) {
      int64_t type = it.num("type");
      std::string text;
      const char* arrow = "->>";
      if (type == imsdkmrtc::kMsgTypeWeakHint) {
        text = "weak hint";
        arrow = "-->>";
      } else if (type == imsdkmrtc::kMsgTypeCard) {
        text = "call card";
        arrow = "-->>";
      } else {
        text =
            it.str("command").empty() ? "message type " + std::to_string(type) : it.str("command");
        if (!it.str("annotation").empty()) text += " (" + it.str("annotation") + ")";
        if (it.str("flag") == imsdkmrtc::texts::wire::kFlagRecall) text += " (recall)";
      }
      const int64_t relay = imsdkmrtc::texts::wire::kServiceAccount;
      if (it.num("target") == relay) text += " via " + std::to_string(relay);
      out << "  " << ident(it.str("from")) << arrow << who << ": " << label(text) << "\n";
    } else if (it.kind == kind::kRequest && !it.quiet && it.str("by") != "setting") {
      int64_t cmd = it.num("cmd");
      std::string text = seconds(it.t) + " " + std::to_string(cmd) + " " + requestName(cmd);
      if (cmd == imsdk::kCmdExtra) text += " type " + std::to_string(it.num("type"));
      if (!it.str("annotation").empty()) text += " " + it.str("annotation");
      if (it.find("by") != nullptr) text += " by " + it.str("by");
      if (it.find("result") != nullptr) text += ", result " + std::to_string(it.num("result"));
      out << "  Note over " << who << ": " << label(text) << "\n";
    } else if (it.kind == kind::kEvent) {
      std::string text = seconds(it.t) + " event " + std::to_string(it.num("type")) + " " +
                         eventName(it.num("type"));
      if (!it.str("annotation").empty()) text += " " + it.str("annotation");
      out << "  Note over " << who << ": " << label(text) << "\n";
    } else if (it.kind == kind::kTimeout) {
      out << "  Note over " << who << ": "
          << label(seconds(it.t) + " time-out " + timeoutName(it.num("type"))) << "\n";
    } else if (it.kind == kind::kOnline) {
      out << "  Note over " << who << ": "
          << label(seconds(it.t) + (it.num("online") != 0 ? " back online" : " vanished")) << "\n";
    }
  }
  return out.str();
}

}  // namespace mrtcsim
