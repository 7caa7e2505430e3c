xor1 = pend + blend
