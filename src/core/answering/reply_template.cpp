#include <quorvel/reply_template.h>

namespace quorvel {

const std::vector<ReplyTemplate>& ReplyTemplate::hotel() {
  static const std::vector<ReplyTemplate> list{
      {"checkin", "Check-in / out", "key",
       "Tell the guest the check-in and check-out times, and the early check-in and late check-out options with their "
       "prices.",
       "check-in time check-out time early check-in late check-out"},
      {"breakfast", "Breakfast", "cup.and.saucer",
       "Tell the guest when and where breakfast is served, whether it is included, what it costs and the menu.",
       "breakfast time price included menu"},
      {"transfer", "Transfer", "car",
       "Offer the guest the airport transfer: price, how long the drive is, how to book and where the driver waits.",
       "airport transfer price booking driver"},
      {"rules", "House rules", "list.bullet.rectangle",
       "Give the guest a short friendly summary of the most important house rules (quiet hours, pool, smoking, pets, "
       "visitors).",
       "house rules quiet hours pool smoking pets visitors"},
      {"complaint", "Complaint", "exclamationmark.bubble",
       "The guest is complaining. Apologise sincerely, then explain what the hotel will do according to the complaint "
       "procedure in the documents.",
       "complaint problem manager another room discount"},
  };
  return list;
}

const ReplyTemplate* ReplyTemplate::find(const std::string& id) {
  for (const auto& t : hotel())
    if (t.id == id) return &t;
  return nullptr;
}

}  // namespace quorvel
