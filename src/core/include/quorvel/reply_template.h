// The five canned reply tasks the front desk can ask for without a guest
// message (or together with one).
#pragma once

#include <string>
#include <vector>

namespace quorvel {

struct ReplyTemplate {
  std::string id;      // the key of --template=
  std::string en;      // English title; the stored question when there is no message
  std::string symbol;  // icon name
  std::string task;    // instruction for the reply model
  std::string query;   // search words put before the guest's message

  bool operator==(const ReplyTemplate&) const = default;

  static const std::vector<ReplyTemplate>& hotel();
  static const ReplyTemplate* find(const std::string& id);
};

}  // namespace quorvel
