// The peer link (being written).
#include "network.hpp"

int32_t network_socket = -1;
int32_t client_socket = -1;
int32_t is_server = 0;
int32_t is_connected = 0;

int start_server(uint16_t) { return -1; }
int connect_to(const char*, uint16_t) { return -1; }
int network_init_server(uint16_t) { return -1; }
int network_init_client(const char*, uint16_t) { return -1; }
int network_send_move_async(int, int, int, int) { return 0; }
int network_check_move(int*, int*, int*, int*) { return 0; }
void network_cleanup() {}
int wait_for_client(int, int*) { return -1; }
int send_move(int, const char*) { return -1; }
int send_coords(int, const char*) { return -1; }
int recv_move(int, char*, int) { return -1; }
int recv_coords(int, char*, int) { return -1; }
int run_server(uint16_t) { return -1; }
int run_client(const char*, uint16_t) { return -1; }
