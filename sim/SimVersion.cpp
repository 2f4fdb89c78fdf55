// Placeholder translation unit until the simulator's engine lands.
namespace xruvo_sim {
int SimLibraryVersion() { return 1; }
}  // namespace xruvo_sim
