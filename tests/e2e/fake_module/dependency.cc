// A library a stand-in module links and the program cannot find, as libecal on a system without
// Evolution Data Server.
extern "C" int velkor_fake_dependency() { return 1; }
