#!/usr/bin/env python3
"""The benchmark's work done with Python's email package: parse each message file, then decode
every leaf part's payload (base64 or quoted-printable undone) into memory.
    python_driver.py FILE|DIR...   prints messages, leaf parts and decoded bytes"""
import email
import os
import sys

messages = leaves = decoded = 0


def process(path):
    global messages, leaves, decoded
    with open(path, "rb") as f:
        message = email.message_from_binary_file(f)
    for part in message.walk():
        if part.is_multipart():
            continue
        leaves += 1
        payload = part.get_payload(decode=True)
        decoded += len(payload) if payload else 0
    messages += 1


for arg in sys.argv[1:]:
    if os.path.isdir(arg):
        for name in os.listdir(arg):
            process(os.path.join(arg, name))
    else:
        process(arg)
print(f"python: {messages} messages, {leaves} leaf parts, {decoded} bytes decoded")
