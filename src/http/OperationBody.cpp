#include "http/OperationBody.h"

#include <map>

#include <nlohmann/json.hpp>

#include "http/JsonBody.h"
#include "platform/AmountText.h"
#include "platform/ControlCharacters.h"
#include "platform/Text1250.h"

namespace ruvo::http {

namespace {

enum class MemberType { Text, Flag };

struct Member {
  std::string name;
  MemberType type = MemberType::Text;
  bool required = false;
};

// The members of a body as the operation takes them: texts in Windows-1250, flags false
// unless given.
struct Members {
  std::map<std::string, std::string> texts;
  std::map<std::string, bool> flags;

  const std::string& Text(const std::string& name) const { return texts.at(name); }
  bool Has(const std::string& name) const { return texts.count(name) != 0; }
  bool Flag(const std::string& name) const {
    const auto found = flags.find(name);
    return found != flags.end() && found->second;
  }
};

OperationParse Refused(int status, const std::string& slug, const std::string& title,
                       const std::string& detail, const std::string& field = "") {
  OperationParse parse;
  parse.refusal = {status, slug, title, detail};
  parse.field = field;
  return parse;
}

OperationParse FieldRefused(const std::string& field, const std::string& detail) {
  return Refused(422, "invalid-field", "Camp gresit", detail, field);
}

// Reads the body's members against what the operation takes; the refusal of the first
// member that is unknown, of another type or missing.
std::optional<OperationParse> ReadMembers(const nlohmann::json& body,
                                          const std::vector<Member>& taken,
                                          const std::string& operation, Members& members) {
  for (auto item = body.begin(); item != body.end(); ++item) {
    const std::string& name = item.key();
    const Member* member = nullptr;
    for (const Member& candidate : taken) {
      if (candidate.name == name) member = &candidate;
    }
    if (member == nullptr) {
      return FieldRefused(name, "Operatia " + operation + " nu primeste campul \"" + name + "\"");
    }
    if (member->type == MemberType::Flag) {
      if (!item.value().is_boolean()) {
        return FieldRefused(name, "Campul \"" + name + "\" este true sau false");
      }
      members.flags[name] = item.value().get<bool>();
      continue;
    }
    if (!item.value().is_string()) {
      return FieldRefused(name, "Campul \"" + name + "\" este un text");
    }
    const std::optional<std::string> text = Utf8To1250(item.value().get<std::string>());
    if (!text) {
      return FieldRefused(name,
                          "Campul \"" + name + "\" are caractere care nu exista in Windows-1250");
    }
    if (const std::optional<std::size_t> at = FirstControlCharacter(*text)) {
      return FieldRefused(name, "Campul \"" + name + "\" are un caracter de control la pozitia " +
                                    std::to_string(*at + 1));
    }
    members.texts[name] = *text;
  }
  for (const Member& member : taken) {
    if (member.required && !members.Has(member.name)) {
      return FieldRefused(member.name, "Lipseste campul \"" + member.name + "\"");
    }
  }
  return std::nullopt;
}

OperationCall Call(std::vector<std::string> arguments) {
  return OperationCall{std::move(arguments)};
}

// The amount is passed on as typed, once it reads as the control command reads it ("," or
// "." before the cents): a refusal here names the member.
OperationParse Cash(const std::string& name, const Members& members) {
  const std::string& amount = members.Text("amount");
  AmountRule rule;
  rule.separator = amount.find(',') != std::string::npos ? ',' : '.';
  switch (ReadAmount(amount, rule).problem) {
    case AmountProblem::None:
      break;
    case AmountProblem::NotANumber:
      return FieldRefused("amount", "Campul \"amount\" este o suma, de exemplu \"12.50\"");
    case AmountProblem::TooManyDecimals:
      return FieldRefused("amount", "Campul \"amount\" are cel mult doua zecimale");
    case AmountProblem::NotPositive:
      return FieldRefused("amount", "Campul \"amount\" este mai mare decat zero");
    case AmountProblem::TooLarge:
      return FieldRefused("amount", "Campul \"amount\" este cel mult 9999999.99");
  }
  std::vector<std::string> arguments = {name, members.Text("amount")};
  if (members.Has("reason")) arguments.push_back(members.Text("reason"));
  OperationParse parse;
  parse.call = Call(std::move(arguments));
  return parse;
}

OperationParse MfReport(const Members& members) {
  const std::string& by = members.Text("by");
  if (by != "z" && by != "date") return FieldRefused("by", "Campul \"by\" este \"z\" sau \"date\"");
  const bool je = members.Flag("je");
  const bool summary = members.Flag("summary");
  if (summary && (je || by != "date")) {
    return FieldRefused("summary",
                        "\"summary\" (raportul sumar) este doar pentru MF pe perioada "
                        "(\"by\": \"date\", fara \"je\")");
  }
  std::vector<std::string> arguments = {"mf-report", by == "z" ? "--by-z" : "--by-date",
                                        members.Text("start"), members.Text("end")};
  if (je) arguments.push_back("--je");
  if (summary) arguments.push_back("--summary");
  OperationParse parse;
  parse.call = Call(std::move(arguments));
  return parse;
}

OperationParse Export(const Members& members) {
  const std::string& type = members.Text("type");
  if (type != "R" && type != "X") {
    return FieldRefused("type", "Campul \"type\" este \"R\" sau \"X\"");
  }
  const bool binary = members.Flag("binary");
  std::vector<std::string> arguments = {"export", members.Text("year"), members.Text("month"),
                                        type};
  if (binary) arguments.push_back("--binary");
  OperationParse parse;
  parse.call = Call(std::move(arguments));
  return parse;
}

// The operations without a member, and the control command each one is.
const std::map<std::string, std::string> kPlainOperations = {{"z-report", "z-report"},
                                                             {"x-report", "x-report"},
                                                             {"stop-report", "stop-report"},
                                                             {"cancel-receipt", "cancel-receipt"},
                                                             {"close-receipt", "close-receipt"},
                                                             {"stop-processing", "stop"},
                                                             {"start-processing", "start"}};

std::vector<Member> MembersOf(const std::string& name) {
  if (name == "cash-in" || name == "cash-out") {
    return {{"amount", MemberType::Text, true}, {"reason", MemberType::Text, false}};
  }
  if (name == "mf-report") {
    return {{"by", MemberType::Text, true},
            {"start", MemberType::Text, true},
            {"end", MemberType::Text, true},
            {"je", MemberType::Flag, false},
            {"summary", MemberType::Flag, false}};
  }
  if (name == "export") {
    return {{"year", MemberType::Text, true},
            {"month", MemberType::Text, true},
            {"type", MemberType::Text, true},
            {"binary", MemberType::Flag, false}};
  }
  return {};
}

bool Offered(const std::string& name) {
  return kPlainOperations.count(name) != 0 || name == "cash-in" || name == "cash-out" ||
         name == "mf-report" || name == "export";
}

}  // namespace

OperationParse ParseOperation(const std::string& name, const std::string& contentType,
                              const std::string& body) {
  if (name == "logo") {
    return Refused(404, "not-offered", "Operatie indisponibila prin HTTP",
                   "Logo-ul se incarca doar la casa: ruvo_drv ctl logo FISIER");
  }
  if (!Offered(name)) {
    return Refused(404, "unknown-operation", "Operatie necunoscuta",
                   "Nu exista operatia \"" + name + "\"");
  }
  nlohmann::json parsed = nlohmann::json::object();
  if (!body.empty()) {
    if (MediaType(contentType) != "application/json") {
      return Refused(415, "unsupported-media-type", "Tip de continut nesuportat",
                     "Operatia se trimite ca application/json");
    }
    if (const std::optional<std::size_t> byte = FirstNonUtf8Byte(body)) {
      return Refused(400, "invalid-utf8", "Text UTF-8 invalid", NonUtf8Refusal(*byte));
    }
    std::string duplicate;
    parsed = ParseJsonBody(body, duplicate);
    if (parsed.is_discarded())
      return Refused(400, "invalid-json", "JSON invalid", JsonBodyRefusal(duplicate));
    if (!parsed.is_object()) {
      return Refused(422, "invalid-json", "JSON invalid", "Corpul cererii este un obiect {...}");
    }
  }
  Members members;
  if (std::optional<OperationParse> refusal = ReadMembers(parsed, MembersOf(name), name, members)) {
    return *refusal;
  }
  if (name == "cash-in" || name == "cash-out") return Cash(name, members);
  if (name == "mf-report") return MfReport(members);
  if (name == "export") return Export(members);
  OperationParse parse;
  parse.call = Call({kPlainOperations.at(name)});
  return parse;
}

}  // namespace ruvo::http
