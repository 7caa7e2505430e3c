x = 1
    Done: