// A socket has one owner: it closes the socket once, moves it on, and cannot be copied
// (a copy would close the socket under the other owner).
#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "net/socket_system.h"
#include "net/tcp_socket.h"

namespace kestrava {
namespace {

static_assert(!std::is_copy_constructible_v<net::OwnedSocket> && !std::is_copy_assignable_v<net::OwnedSocket>);
static_assert(std::is_nothrow_move_constructible_v<net::OwnedSocket> &&
              std::is_nothrow_move_assignable_v<net::OwnedSocket>);

// Whether the system still knows the socket: a call on a closed one fails.
bool isOpen(net::Socket socket) { return net::setNonBlocking(socket); }

TEST(OwnedSocket, ClosesOnceWhereverItMoves) {
  net::Socket raw = net::openStreamSocket(AF_INET);
  ASSERT_NE(raw, net::invalidSocket);
  {
    net::OwnedSocket first(raw);
    net::OwnedSocket second;
    {
      net::OwnedSocket moved(std::move(first));
      EXPECT_FALSE(first.valid());
      second = std::move(moved);
    }
    // The owners it passed through are gone; the socket is not.
    EXPECT_TRUE(isOpen(raw));
    EXPECT_EQ(second.get(), raw);
  }
  EXPECT_FALSE(isOpen(raw));
}

TEST(OwnedSocket, TakingAnotherSocketClosesTheOneHeld) {
  net::OwnedSocket owner(net::openStreamSocket(AF_INET));
  ASSERT_TRUE(owner.valid());
  net::Socket before = owner.get();
  net::Socket next = net::openStreamSocket(AF_INET);
  ASSERT_NE(next, net::invalidSocket);
  owner.reset(next);
  EXPECT_FALSE(isOpen(before));
  EXPECT_TRUE(isOpen(next));
  net::Socket released = owner.release();
  owner.reset();
  EXPECT_TRUE(isOpen(released));  // released: no longer the owner's to close
  net::closeSocket(released);
}

}  // namespace
}  // namespace kestrava
