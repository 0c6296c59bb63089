// A game the figures' tools play from the window, as long as they like: Blue's
// soldier C7-C5 and Red's G3-G5, then those two slide one square along the
// empty fifth row and back, turn about. No move captures anything.
#pragma once

struct Square {
    int row, col;
};

// Move k of that game, k from 0; even moves are Blue's.
inline void move_number(int k, Square& from, Square& to)
{
    if (k < 2) {
        from = k == 0 ? Square{2, 2} : Square{6, 6};
        to = {4, from.col};
        return;
    }
    const bool blue = k % 2 == 0;
    const bool outwards = (k - 2) / 2 % 2 == 0;
    const int home = blue ? 2 : 6, away = blue ? 1 : 7;
    from = {4, outwards ? home : away};
    to = {4, outwards ? away : home};
}
