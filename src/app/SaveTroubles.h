#pragma once

#include <string>
#include <vector>

namespace ruvo {

// The warning while the journal is damaged: it names the file and the copy kept of it, and
// says what the operator does next.
inline const std::string kDamagedJournalWarning = "Atentie ! Jurnalul deteriorat ";
inline const std::string kDamagedJournalAdvice =
    " ! Bonurile asteapta. Verificati la casa de marcat ce s-a emis pentru fisierele ONLINE "
    "ramase, stergeti-le pe cele emise, apoi stergeti jurnalul.";

// What the cycle could not save, told once when it begins and once when it ends: a
// journal or an answer that cannot be written is retried every second, and a line on
// standard error or in the warning box every second would bury everything else.
class SaveTroubles {
 public:
  // KeptAnswer: the answer could not be handed to its keeper (an HTTP key's record).
  enum class Cause { Journal, JournalUnreadable, JournalDamaged, Answer, KeptAnswer };

  // Marks the trouble of cause with subject (the file concerned) as there or gone. True
  // when that changed anything; the change is said on standard error.
  bool Set(Cause cause, const std::string& subject, bool failing);
  // Marks every trouble of cause as gone, whatever its subject.
  bool Clear(Cause cause);
  bool Any() const { return !active_.empty(); }
  bool Has(Cause cause) const;

  // The warning box's lines, one per trouble, naming the file that cannot be saved.
  std::vector<std::string> WarningLines() const;

 private:
  struct Trouble {
    Cause cause;
    std::string subject;
    bool operator==(const Trouble&) const = default;
  };
  std::vector<Trouble> active_;
};

}  // namespace ruvo
