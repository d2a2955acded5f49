// Window-free search rules: to be written.
