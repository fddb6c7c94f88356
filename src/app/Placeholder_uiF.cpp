// Keeps the user-interface library buildable until its first window exists.
