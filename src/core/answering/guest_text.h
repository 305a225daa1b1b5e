// What of a pasted message the guest wrote: receptionists paste whole e-mails
// and threads, whose quoted part is in the hotel's language, not the guest's.
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// The message without quoted lines ("> …"), reply headers ("On … wrote:",
// "Am … schrieb …:") and the quote after them, original-message and forward
// blocks, Outlook's "From: … Subject:" block, everything after a signature
// separator ("-- "), phone footers ("Sent from my iPhone") and a trailing
// block of contact lines (phone, e-mail, booking number, address); of a
// pasted chat thread, the lines of the sender who wrote last. Lines are
// split at line breaks and at runs of two or more spaces (a thread flattened
// into one line). The kept lines joined by '\n'; "" when nothing is left.
std::string guestOwnText(std::string_view message);

}  // namespace quorvel
