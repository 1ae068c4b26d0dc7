#include "player/PlayerApp.h"

int main(int argc, char** argv) {
#ifdef PLAYER_NORVANTA
  return RunPlayer(PlayerBuild::Norvanta, argc, argv);
#else
  return RunPlayer(PlayerBuild::Tavisco, argc, argv);
#endif
}
