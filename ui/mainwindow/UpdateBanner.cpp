#include "ui/mainwindow/UpdateBanner.h"

namespace vlo {

std::string BannerText(UpdateState state, std::string_view version) {
  const std::string v{version};
  if (state == UpdateState::Installing) return "Updating to " + v + "… the chat reopens by itself";
  return "Version " + v + " is available  ·  Click to update";
}

std::string BannerTooltip(std::string_view version) {
  return "Version " + std::string{version} + " is available. Click to update.";
}

Rgb BannerColor(UpdateState state, bool hot, Rgb chatAccent, Rgb surface) {
  const Rgb color = readableAccent(chatAccent);
  if (state == UpdateState::Installing) return blend(color, surface, 45);
  if (hot) return blend(Rgb{255, 255, 255}, color, 14);
  return color;
}

std::string UpdateQuestion(std::string_view version) {
  return "Update Velaro Chat to version " + std::string{version} +
         " now?\n\nThe chat closes for a few seconds while it updates and then opens again by "
         "itself. Your channels, sign-ins and settings stay as they are.";
}

std::string UpdateFailedText(std::string_view error) {
  return "The update did not start.\n\n" + std::string{error};
}

}  // namespace vlo
